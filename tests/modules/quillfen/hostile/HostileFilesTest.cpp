// Small hostile files fail quickly with their reason, and the whole run stays
// far below the memory their headers ask for.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "modules/quillfen/QfCore.h"
#include "modules/quillfen/QfViewerSeries.h"
#include "tests/support/PeakMemory.h"

namespace {

std::string TempFile(const std::string& name) {
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  return std::string(tmp) + "qfhostile-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

void Write(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(data.data(), 1, data.size(), f);
  fclose(f);
}

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) { b[at] = (uint8_t)v, b[at + 1] = (uint8_t)(v >> 8); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i));
}

// Loads through the library's front door and gives back the reason.
std::string Refusal(const std::string& path) {
  std::vector<qf::Volume> out;
  std::string error;
  const DWORD start = GetTickCount();
  const bool ok = qf::LoadImages(path, out, error);
  EXPECT_FALSE(ok) << path;
  EXPECT_FALSE(error.empty()) << path;
  EXPECT_LT(GetTickCount() - start, 10000u) << path;  // a guard against a hang, not a speed check
  DeleteFileA(path.c_str());
  return error;
}

TEST(Hostile, SmallFilesClaimingHugeImagesFailWithTheirReason) {
  // A 60-byte RLE BMP of 65535 x 65535.
  std::vector<uint8_t> bmp(60, 0);
  bmp[0] = 'B', bmp[1] = 'M';
  Put32(bmp, 2, 60);
  Put32(bmp, 10, 54);
  Put32(bmp, 14, 40);
  Put32(bmp, 18, 65535);
  Put32(bmp, 22, 65535);
  Put16(bmp, 26, 1);
  Put16(bmp, 28, 8);
  Put32(bmp, 30, 1);         // RLE8
  bmp[54] = 0, bmp[55] = 1;  // end of bitmap
  const std::string bmpPath = TempFile("huge.bmp");
  Write(bmpPath, bmp);
  EXPECT_NE(Refusal(bmpPath).find("size"), std::string::npos);

  // A gzip bomb in a NIfTI file: its header claims 30000^3 floats.
  std::vector<uint8_t> nii(352, 0);
  Put32(nii, 0, 348);
  Put16(nii, 40, 3), Put16(nii, 42, 30000), Put16(nii, 44, 30000), Put16(nii, 46, 30000);
  Put16(nii, 70, 16), Put16(nii, 72, 32);
  const float vox = 352;
  memcpy(&nii[108], &vox, 4);
  memcpy(&nii[344], "n+1", 4);
  const std::string niiPath = TempFile("bomb.nii.gz");
  gzFile gz = gzopen(niiPath.c_str(), "wb9");
  gzwrite(gz, nii.data(), (unsigned)nii.size());
  std::vector<uint8_t> zeros(1 << 20, 0);
  for (int i = 0; i < 64; ++i) gzwrite(gz, zeros.data(), (unsigned)zeros.size());
  gzclose(gz);
  EXPECT_NE(Refusal(niiPath).find("larger"), std::string::npos);

  // A DICOM file whose header claims 65535 x 65535 x 1000 16-bit frames.
  std::vector<uint8_t> dcm(132, 0);
  memcpy(&dcm[128], "DICM", 4);
  auto element = [&](uint16_t g, uint16_t e, const char* vr, const std::vector<uint8_t>& value) {
    const size_t at = dcm.size();
    const bool longForm = vr[0] == 'O';
    dcm.resize(at + (longForm ? 12 : 8));
    Put16(dcm, at, g), Put16(dcm, at + 2, e);
    dcm[at + 4] = (uint8_t)vr[0], dcm[at + 5] = (uint8_t)vr[1];
    if (longForm)
      Put32(dcm, at + 8, (uint32_t)value.size());
    else
      Put16(dcm, at + 6, (uint32_t)value.size());
    dcm.insert(dcm.end(), value.begin(), value.end());
  };
  auto text = [](const char* s) {
    std::vector<uint8_t> v(s, s + strlen(s));
    if (v.size() & 1) v.push_back(0);
    return v;
  };
  auto us = [](uint16_t v) { return std::vector<uint8_t>{(uint8_t)v, (uint8_t)(v >> 8)}; };
  element(0x0002, 0x0010, "UI", text("1.2.840.10008.1.2.1"));
  element(0x0008, 0x0016, "UI", text("1.2.840.10008.5.1.4.1.1.7"));
  element(0x0028, 0x0002, "US", us(1));
  element(0x0028, 0x0004, "CS", text("MONOCHROME2 "));
  element(0x0028, 0x0008, "IS", text("1000"));
  element(0x0028, 0x0010, "US", us(65535));
  element(0x0028, 0x0011, "US", us(65535));
  element(0x0028, 0x0100, "US", us(16));
  element(0x0028, 0x0101, "US", us(16));
  element(0x0028, 0x0102, "US", us(15));
  element(0x0028, 0x0103, "US", us(0));
  element(0x7FE0, 0x0010, "OW", std::vector<uint8_t>(64, 7));
  const std::string dcmPath = TempFile("huge.dcm");
  Write(dcmPath, dcm);
  EXPECT_NE(Refusal(dcmPath).find("larger"), std::string::npos);

  // A MetaImage naming a file on another machine's share.
  const std::string mhd =
      "ObjectType = Image\nNDims = 2\nDimSize = 4 4\nElementType = MET_UCHAR\n"
      "ElementDataFile = \\\\host\\share\\x.raw\n";
  const std::string mhdPath = TempFile("share.mhd");
  Write(mhdPath, std::vector<uint8_t>(mhd.begin(), mhd.end()));
  EXPECT_NE(Refusal(mhdPath).find("network"), std::string::npos);

  // Files assembled at set-up: sequences nested 2000 deep, an element
  // claiming nearly 4 GiB. Header reads (file information with its tags,
  // the viewer's series header) refuse them as quickly as decoding does.
  const char* binary = getenv("RS_BINARY_DIR");
  ASSERT_NE(binary, nullptr);
  std::string fixtures = std::string("Z:") + binary + "/testdata/quillfen/";
  std::replace(fixtures.begin(), fixtures.end(), '/', '\\');
  for (const char* name : {"nested2000.dcm", "claim.dcm"}) {
    const std::string path = fixtures + name;
    const DWORD start = GetTickCount();
    std::vector<qf::Volume> out;
    std::string error;
    EXPECT_FALSE(qf::LoadImages(path, out, error)) << name;
    FileInfoRequest req = {};
    EXPECT_FALSE(qf::ReadDicomInfo(path, true, &req, error)) << name;
    qf::SeriesHeader header;
    EXPECT_FALSE(qf::ReadSeriesHeader(path, header)) << name;
    EXPECT_LT(GetTickCount() - start, 2000u) << name;
  }

  // All of it within 100 MB (the measure itself works: see the next test).
  printf("peak working set: %zu MB\n", PeakMemory() >> 20);
  EXPECT_LT(PeakMemory(), (size_t)100 << 20) << "peak working set " << (PeakMemory() >> 20) << " MB";
}

// Runs qf_tool (beside this program) with the arguments in a process of its
// own; its exit code, and its output in `output`.
DWORD RunTool(const std::string& args, std::string& output) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command(exe);
  command = "\"" + command.substr(0, command.find_last_of('\\') + 1) + "qf_tool.exe\" " + args;
  const std::string out = TempFile("tool.txt");
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE file = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = file;
  PROCESS_INFORMATION pi = {};
  DWORD rc = 9999;
  if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &rc);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(file);
  output.clear();
  if (FILE* f = fopen(out.c_str(), "rb")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) output.append(buf, n);
    fclose(f);
  }
  DeleteFileA(out.c_str());
  return rc;
}

// Small files claiming huge images (made at set-up), each read by the library
// in a process of its own: file information and decoding refuse them, each
// within far less than 100 MB. A 256^3 volume of bytes decodes holding its
// samples as bytes (16 MB) beside the 64 MB it shows.
TEST(Hostile, HugeClaimsCostLittleMemoryEach) {
  const char* binary = getenv("RS_BINARY_DIR");
  ASSERT_NE(binary, nullptr);
  std::string formats = std::string("Z:") + binary + "/testdata/quillfen/formats/";
  std::replace(formats.begin(), formats.end(), '/', '\\');
  const std::string out = TempFile("bmp");
  CreateDirectoryA(out.c_str(), nullptr);
  std::vector<std::string> files;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((formats + "huge\\*").c_str(), &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back("huge\\" + std::string(fd.cFileName));
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  EXPECT_GE(files.size(), 5u);
  files.push_back("large\\cube.mnc");
  for (const std::string& name : files) {
    const bool huge = name.compare(0, 4, "huge") == 0;
    for (const char* mode : {"info", "tobmp"}) {
      SCOPED_TRACE(name + " " + mode);
      std::string output;
      const std::string path = "\"" + formats + name + "\"";
      const DWORD start = GetTickCount();
      const DWORD rc =
          RunTool(std::string("peak ") + mode + (strcmp(mode, "info") ? " \"" + out + "\" h " : " ") + path, output);
      const size_t at = output.rfind("peak ");
      ASSERT_NE(at, std::string::npos) << output;
      const size_t peak = (size_t)strtoull(output.c_str() + at + 5, nullptr, 10);
      printf("%s %s: %s, peak working set %zu MB, %lu ms\n", name.c_str(), mode, rc ? "refused" : "read", peak >> 20,
             (unsigned long)(GetTickCount() - start));
      EXPECT_EQ(rc != 0, huge);
      EXPECT_LT(peak, (size_t)(huge ? 64 : 140) << 20);
    }
  }
  WIN32_FIND_DATAA bmp;
  HANDLE b = FindFirstFileA((out + "\\*.bmp").c_str(), &bmp);
  if (b != INVALID_HANDLE_VALUE) {
    do DeleteFileA((out + "\\" + bmp.cFileName).c_str());
    while (FindNextFileA(b, &bmp));
    FindClose(b);
  }
  RemoveDirectoryA(out.c_str());
}

// The measure sees memory that is really used, so the limit above means something.
TEST(Hostile, PeakMemoryMeasureSeesRealUse) {
  const size_t before = PeakMemory();
  std::vector<uint8_t> block((size_t)160 << 20, 1);
  EXPECT_GE(PeakMemory(), before + ((size_t)150 << 20));
  EXPECT_EQ(block[12345], 1);
}

// (After the peak memory tests: this one takes some.) A deflated file of 12 KB holding 999,000 empty elements (made at set-up):
// its tag tree, a gigabyte of records, is refused with its reason before any
// of it is made; its size still reads.
TEST(Hostile, ATagTreeOfAMillionElementsIsRefused) {
  const char* binary = getenv("RS_BINARY_DIR");
  ASSERT_NE(binary, nullptr);
  std::string path = std::string("Z:") + binary + "/testdata/quillfen/many-elements.dcm";
  std::replace(path.begin(), path.end(), '/', '\\');
  const DWORD start = GetTickCount();
  FileInfoRequest req = {};
  std::string error;
  EXPECT_FALSE(qf::ReadDicomInfo(path, true, &req, error));
  EXPECT_NE(error.find("elements"), std::string::npos) << error;
  EXPECT_EQ(req.tags, nullptr);
  EXPECT_TRUE(qf::ReadDicomInfo(path, false, &req, error)) << error;
  EXPECT_EQ(req.width, 64);
  EXPECT_LT(GetTickCount() - start, 10000u);
}

}  // namespace
