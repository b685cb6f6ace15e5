// Writing a picture as a DICOM Secondary Capture file through GDCM.
#include <gdcmDataSet.h>
#include <gdcmFileMetaInformation.h>
#include <gdcmImage.h>
#include <gdcmImageWriter.h>
#include <gdcmUIDGenerator.h>

#include <stdio.h>
#include <time.h>

#include <atomic>

#include "modules/quillfen/QfDicomInternal.h"

namespace qf {

bool WriteSecondaryCapture(const std::string& path, int width, int height, int channels,
                           const std::vector<uint8_t>& pixels, std::string& error) {
  DicomDictionaries();
  if (width <= 0 || height <= 0 || width > 65535 || height > 65535 || (channels != 1 && channels != 3) ||
      pixels.size() != (size_t)width * height * channels) {
    error = "unsupported picture";
    return false;
  }
  gdcm::ImageWriter writer;
  gdcm::Image& image = writer.GetImage();
  image.SetNumberOfDimensions(2);
  image.SetDimension(0, (unsigned)width);
  image.SetDimension(1, (unsigned)height);
  image.SetPixelFormat(channels == 3 ? gdcm::PixelFormat(3, 8, 8, 7, 0) : gdcm::PixelFormat(1, 8, 8, 7, 0));
  image.SetPhotometricInterpretation(channels == 3 ? gdcm::PhotometricInterpretation::RGB
                                                   : gdcm::PhotometricInterpretation::MONOCHROME2);
  image.SetPlanarConfiguration(0);
  image.SetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);
  gdcm::DataElement pixelData(gdcm::Tag(0x7FE0, 0x0010));
  pixelData.SetByteValue(reinterpret_cast<const char*>(pixels.data()), (uint32_t)pixels.size());
  image.SetDataElement(pixelData);

  gdcm::File& file = writer.GetFile();
  gdcm::DataSet& ds = file.GetDataSet();
  gdcm::UIDGenerator uid;
  const char* scClass = "1.2.840.10008.5.1.4.1.1.7";
  auto put = [&](uint16_t g, uint16_t e, gdcm::VR vr, std::string value) {
    gdcm::DataElement de(gdcm::Tag(g, e));
    de.SetVR(vr);
    if (value.size() & 1) value += (vr == gdcm::VR::UI ? '\0' : ' ');
    de.SetByteValue(value.data(), (uint32_t)value.size());
    ds.Replace(de);
  };
  time_t now = time(nullptr);
  struct tm tmv;
#ifdef _WIN32
  localtime_s(&tmv, &now);
#else
  localtime_r(&now, &tmv);
#endif
  char date[16], tod[16];
  strftime(date, sizeof date, "%Y%m%d", &tmv);
  strftime(tod, sizeof tod, "%H%M%S", &tmv);
  const std::string sopInstance = uid.Generate();
  put(0x0008, 0x0016, gdcm::VR::UI, scClass);
  put(0x0008, 0x0018, gdcm::VR::UI, sopInstance);
  put(0x0008, 0x0020, gdcm::VR::DA, date);
  put(0x0008, 0x0023, gdcm::VR::DA, date);
  put(0x0008, 0x0030, gdcm::VR::TM, tod);
  put(0x0008, 0x0033, gdcm::VR::TM, tod);
  put(0x0008, 0x0050, gdcm::VR::SH, "");
  put(0x0008, 0x0060, gdcm::VR::CS, "OT");
  put(0x0008, 0x0064, gdcm::VR::CS, "WSD");
  put(0x0008, 0x0090, gdcm::VR::PN, "");
  put(0x0010, 0x0010, gdcm::VR::PN, "");
  put(0x0010, 0x0020, gdcm::VR::LO, "");
  put(0x0010, 0x0030, gdcm::VR::DA, "");
  put(0x0010, 0x0040, gdcm::VR::CS, "");
  put(0x0020, 0x000D, gdcm::VR::UI, uid.Generate());
  put(0x0020, 0x000E, gdcm::VR::UI, uid.Generate());
  put(0x0020, 0x0010, gdcm::VR::SH, "");
  put(0x0020, 0x0011, gdcm::VR::IS, "1");
  put(0x0020, 0x0013, gdcm::VR::IS, "1");
  put(0x0020, 0x0020, gdcm::VR::CS, "");
  put(0x0020, 0x0060, gdcm::VR::CS, "");

  gdcm::FileMetaInformation& meta = file.GetHeader();
  meta.Clear();
  meta.SetDataSetTransferSyntax(gdcm::TransferSyntax::ExplicitVRLittleEndian);

  // Written beside the target, then moved into place.
  char suffix[64];
  static std::atomic<unsigned> counter{0};
  snprintf(suffix, sizeof suffix, ".%lu-%u.part",
           (unsigned long)
#ifdef _WIN32
               GetCurrentProcessId(),
#else
               0ul,
#endif
           counter.fetch_add(1));
  const std::string temp = path + suffix;
  writer.SetFileName(temp.c_str());
  if (!writer.Write()) {
    remove(temp.c_str());
    error = "the DICOM file cannot be written";
    return false;
  }
#ifdef _WIN32
  if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    error = "the DICOM file cannot be moved into place";
    return false;
  }
#else
  if (rename(temp.c_str(), path.c_str()) != 0) {
    remove(temp.c_str());
    error = "the DICOM file cannot be moved into place";
    return false;
  }
#endif
  return true;
}

}  // namespace qf
