#include "imaging/image/JpegCodec.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace {

const size_t kJpegBufferSize = 4096;
// Working memory libjpeg may take beyond the image itself (progressive files
// keep every coefficient); larger demands fail instead of exhausting memory.
const long kJpegMaxWorkMemory = 1024L * 1024L * 1024L;

// Both halves of the stream glue; libjpeg gets the half it needs.
struct JpegStreamManager {
  jpeg_destination_mgr dest;
  jpeg_source_mgr src;
  CRasterStream* stream;
  JOCTET* buffer;
  bool startOfFile;
  bool atEnd;  // the data ran out: the buffer holds a made-up end marker
};

JpegStreamManager* FromSource(j_decompress_ptr cinfo) {
  return reinterpret_cast<JpegStreamManager*>(reinterpret_cast<char*>(cinfo->src) - offsetof(JpegStreamManager, src));
}

JpegStreamManager* FromDestination(j_compress_ptr cinfo) { return reinterpret_cast<JpegStreamManager*>(cinfo->dest); }

void InitDestination(j_compress_ptr cinfo) {
  JpegStreamManager* m = FromDestination(cinfo);
  m->dest.next_output_byte = m->buffer;
  m->dest.free_in_buffer = kJpegBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  JpegStreamManager* m = FromDestination(cinfo);
  if (m->stream->Write(m->buffer, 1, (UINT)kJpegBufferSize) != kJpegBufferSize) ERREXIT(cinfo, JERR_FILE_WRITE);
  m->dest.next_output_byte = m->buffer;
  m->dest.free_in_buffer = kJpegBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  JpegStreamManager* m = FromDestination(cinfo);
  size_t count = kJpegBufferSize - m->dest.free_in_buffer;
  // An output of a whole number of buffers leaves nothing to write here.
  if (count > 0 && m->stream->Write(m->buffer, 1, (UINT)count) != count) ERREXIT(cinfo, JERR_FILE_WRITE);
  m->stream->Flush();
  if (m->stream->HasError()) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void InitSource(j_decompress_ptr cinfo) {
  FromSource(cinfo)->startOfFile = true;
  FromSource(cinfo)->atEnd = false;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  JpegStreamManager* m = FromSource(cinfo);
  size_t n = m->stream->Read(m->buffer, 1, (UINT)kJpegBufferSize);
  if (n == 0) {
    if (m->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    m->buffer[0] = (JOCTET)0xFF;
    m->buffer[1] = (JOCTET)JPEG_EOI;
    n = 2;
    m->atEnd = true;
  }
  m->src.next_input_byte = m->buffer;
  m->src.bytes_in_buffer = n;
  m->startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  JpegStreamManager* m = FromSource(cinfo);
  while (count > (long)m->src.bytes_in_buffer) {
    count -= (long)m->src.bytes_in_buffer;
    FillInputBuffer(cinfo);
    // Past the end there is nothing to skip: the end marker stays to be read,
    // instead of being made again two bytes at a time for the whole count.
    if (m->atEnd) return;
  }
  m->src.next_input_byte += count;
  m->src.bytes_in_buffer -= (size_t)count;
}

void TermSource(j_decompress_ptr) {}

struct JpegErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char* text;
};

// Fatal libjpeg errors end here: the message becomes the error text and the
// codec's recovery point takes over.
void ErrorExit(j_common_ptr cinfo) {
  JpegErrorManager* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  char message[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, message);
  size_t n = strlen(message);
  if (n > 255) n = 255;
  memcpy(err->text, message, n);
  err->text[n] = 0;
  longjmp(err->jump, 1);
}

// Warnings (such as a truncated file) are not shown.
void OutputMessage(j_common_ptr) {}

// Ties the source or destination manager to a stream with its own buffer.
bool OpenStreamManager(JpegStreamManager& manager, CRasterStream* stream) {
  memset(&manager, 0, sizeof(manager));
  manager.stream = stream;
  manager.buffer = (JOCTET*)malloc(kJpegBufferSize);
  return manager.buffer != nullptr;
}

void SetupErrorManager(JpegErrorManager* err, char* text) {
  jpeg_std_error(&err->pub);
  err->pub.error_exit = ErrorExit;
  err->pub.output_message = OutputMessage;
  err->text = text;
}

}  // namespace

bool CRasterImageJPEG::Decode(CRasterStream* stream) {
  if (!stream) return false;
  jpeg_decompress_struct cinfo;
  JpegErrorManager err;
  JpegStreamManager manager;
  memset(&cinfo, 0, sizeof(cinfo));
  if (!OpenStreamManager(manager, stream)) {
    SetErrorText("no memory for the JPEG input buffer");
    return false;
  }
  SetupErrorManager(&err, m_info.szLastError);
  cinfo.err = &err.pub;
  BYTE* volatile row = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    free(manager.buffer);
    free(row);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  if (cinfo.mem->max_memory_to_use == 0 || cinfo.mem->max_memory_to_use > kJpegMaxWorkMemory)
    cinfo.mem->max_memory_to_use = kJpegMaxWorkMemory;
  manager.src.init_source = InitSource;
  manager.src.fill_input_buffer = FillInputBuffer;
  manager.src.skip_input_data = SkipInputData;
  manager.src.resync_to_restart = jpeg_resync_to_restart;
  manager.src.term_source = TermSource;
  cinfo.src = &manager.src;
  jpeg_read_header(&cinfo, TRUE);

  const DWORD flags = m_info.dwCodecOpt[RASTER_TYPE_JPEG];
  if (flags & RASTER_JPEG_GRAYSCALE_OUT) cinfo.out_color_space = JCS_GRAYSCALE;
  if (flags & RASTER_JPEG_QUANTIZE_COLORS) {
    cinfo.quantize_colors = TRUE;
    cinfo.desired_number_of_colors = GetJpegQualityRounded();
  }
  if (flags & RASTER_JPEG_DITHER) cinfo.dither_mode = (J_DITHER_MODE)m_ditherMode;
  if (flags & RASTER_JPEG_ONE_PASS) cinfo.two_pass_quantize = FALSE;
  if (flags & RASTER_JPEG_NO_FANCY_UPSAMPLING) cinfo.do_fancy_upsampling = FALSE;
  cinfo.scale_num = 1;
  cinfo.scale_denom = m_info.nJpegScale ? m_info.nJpegScale : 1;

  // Rows come out in the image's blue-green-red order straight from the library.
  bool extBgr = false;
#ifdef JCS_EXTENSIONS
  if (cinfo.out_color_space == JCS_RGB && !cinfo.quantize_colors) {
    cinfo.out_color_space = JCS_EXT_BGR;
    extBgr = true;
  }
#endif

  jpeg_calc_output_dimensions(&cinfo);
  if (m_info.nEscape == -1) {
    m_head.biWidth = (LONG)cinfo.output_width;
    m_head.biHeight = (LONG)cinfo.output_height;
    m_info.nFormat = RASTER_TYPE_JPEG;
    jpeg_destroy_decompress(&cinfo);
    free(manager.buffer);
    return true;
  }
  const int components = cinfo.output_components;
  // The image must fit before any decompression work starts.
  {
    double bits = components == 1 ? 8.0 : 24.0;
    double rowBytes = (double)((((unsigned long long)cinfo.output_width * (unsigned)bits + 31) / 32) * 4);
    if (cinfo.output_width == 0 || cinfo.output_height == 0) {
      SetErrorText("JPEG width and height must be greater than zero");
      longjmp(err.jump, 1);
    }
    if (rowBytes * (double)cinfo.output_height > RASTER_MAX_MEMORY) {
      SetErrorText("RASTER_MAX_MEMORY exceeded");
      longjmp(err.jump, 1);
    }
  }
  jpeg_start_decompress(&cinfo);
  if (!Create((LONG)cinfo.output_width, (LONG)cinfo.output_height, 8 * cinfo.output_components, RASTER_TYPE_JPEG))
    longjmp(err.jump, 1);

  switch (cinfo.density_unit) {
    case 0:
      if (cinfo.X_density > 0 && cinfo.Y_density > 0)
        SetVerticalDpi((int)(GetHorizontalDpi() * (double)cinfo.Y_density / cinfo.X_density));
      break;
    case 2:
      SetHorizontalDpi((int)(cinfo.X_density * 2.54 + 0.5));
      SetVerticalDpi((int)(cinfo.Y_density * 2.54 + 0.5));
      break;
    default:
      SetHorizontalDpi(cinfo.X_density);
      SetVerticalDpi(cinfo.Y_density);
      break;
  }

  if (cinfo.quantize_colors) {
    int n = cinfo.actual_number_of_colors;
    if (n > (int)GetColorCount()) n = (int)GetColorCount();
    for (int i = 0; i < n; i++) {
      if (cinfo.out_color_components >= 3)
        SetPaletteEntry((BYTE)i, cinfo.colormap[0][i], cinfo.colormap[1][i], cinfo.colormap[2][i], 0);
      else
        SetPaletteEntry((BYTE)i, cinfo.colormap[0][i], cinfo.colormap[0][i], cinfo.colormap[0][i], 0);
    }
    SetImportantColors((DWORD)cinfo.actual_number_of_colors);
  } else if (components == 1) {
    MakeGrayPalette();
  }

  const bool cmyk = components == 4 && !cinfo.quantize_colors;
  const DWORD rowBytes = GetRowBytes();
  const bool direct = extBgr || components == 1;
  if (!direct) {
    row = (BYTE*)malloc((size_t)cinfo.output_width * (size_t)components + 8);
    if (!row) {
      SetErrorText("no memory for a JPEG row");
      longjmp(err.jump, 1);
    }
  }
  const DWORD width = cinfo.output_width;
  while (cinfo.output_scanline < cinfo.output_height) {
    if (m_info.nEscape) longjmp(err.jump, 1);
    BYTE* target = GetRowPointer(cinfo.output_height - 1 - cinfo.output_scanline);
    if (!row) {
      JSAMPROW rows[1] = {target};
      jpeg_read_scanlines(&cinfo, rows, 1);
      continue;
    }
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&cinfo, rows, 1);
    if (cmyk) {
      BYTE* out = target;
      const BYTE* in = row;
      for (DWORD x = 0; x < width; x++, in += 4, out += 3) {
        unsigned k = in[3];
        out[0] = (BYTE)(in[2] * k / 255);
        out[1] = (BYTE)(in[1] * k / 255);
        out[2] = (BYTE)(in[0] * k / 255);
      }
    } else if (components == 3 && !cinfo.quantize_colors) {
      // Red-green-blue from a library without the ordering extension.
      for (DWORD x = 0; x < width; x++) {
        target[3 * x] = row[3 * x + 2];
        target[3 * x + 1] = row[3 * x + 1];
        target[3 * x + 2] = row[3 * x];
      }
    } else {
      size_t n = (size_t)width * (size_t)components;
      memcpy(target, row, n < rowBytes ? n : rowBytes);
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  free(manager.buffer);
  free(row);
  return true;
}

bool CRasterImageJPEG::Encode(CRasterStream* stream) {
  if (!CanEncode(stream)) return false;
  const bool indexed = GetColorCount() != 0;
  if (indexed && !IsGrayPalette()) {
    SetErrorText("JPEG can save only RGB or GreyScale images");
    return false;
  }
  jpeg_compress_struct cinfo;
  JpegErrorManager err;
  JpegStreamManager manager;
  memset(&cinfo, 0, sizeof(cinfo));
  if (!OpenStreamManager(manager, stream)) {
    SetErrorText("no memory for the JPEG output buffer");
    return false;
  }
  SetupErrorManager(&err, m_info.szLastError);
  cinfo.err = &err.pub;
  BYTE* volatile row = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    free(manager.buffer);
    free(row);
    return false;
  }
  jpeg_create_compress(&cinfo);
  manager.dest.init_destination = InitDestination;
  manager.dest.empty_output_buffer = EmptyOutputBuffer;
  manager.dest.term_destination = TermDestination;
  cinfo.dest = &manager.dest;

  cinfo.image_width = (JDIMENSION)GetWidth();
  cinfo.image_height = (JDIMENSION)GetHeight();
  if (indexed) {
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
  } else {
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
  }
  jpeg_set_defaults(&cinfo);
  const DWORD flags = m_info.dwCodecOpt[RASTER_TYPE_JPEG];
  if (flags & RASTER_JPEG_ARITH_CODE) cinfo.arith_code = TRUE;
  if (flags & RASTER_JPEG_OPTIMIZE_CODING) cinfo.optimize_coding = TRUE;
  if (flags & RASTER_JPEG_GRAYSCALE_IN) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  if (flags & RASTER_JPEG_SMOOTHING) cinfo.smoothing_factor = m_smoothing;
  jpeg_set_quality(&cinfo, GetJpegQualityRounded(), (flags & RASTER_JPEG_FORCE_BASELINE) ? TRUE : FALSE);
  if (flags & RASTER_JPEG_PROGRESSION) jpeg_simple_progression(&cinfo);

  cinfo.comp_info[0].h_samp_factor = 2;
  cinfo.comp_info[0].v_samp_factor = 2;
  if (flags & RASTER_JPEG_SAMPLING_1X1) {
    cinfo.comp_info[0].h_samp_factor = 1;
    cinfo.comp_info[0].v_samp_factor = 1;
  } else if (flags & RASTER_JPEG_SAMPLING_2X1) {
    cinfo.comp_info[0].v_samp_factor = 1;
  }
  for (int c = 1; c < cinfo.num_components && c < 3; c++) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.density_unit = 1;
  cinfo.X_density = (UINT16)GetHorizontalDpi();
  cinfo.Y_density = (UINT16)GetVerticalDpi();

  // 24-bit rows go to the library as they are stored (blue-green-red).
  bool direct = false;
#ifdef JCS_EXTENSIONS
  if (!indexed) {
    cinfo.in_color_space = JCS_EXT_BGR;
    direct = true;
  }
#endif
  if (indexed && GetBpp() == 8) direct = true;

  jpeg_start_compress(&cinfo, TRUE);
  const DWORD width = GetWidth();
  if (!direct) {
    row = (BYTE*)malloc((size_t)width * 3 + GetRowBytes() + 8);
    if (!row) {
      SetErrorText("no memory for a JPEG row");
      longjmp(err.jump, 1);
    }
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    DWORD y = cinfo.image_height - 1 - cinfo.next_scanline;
    BYTE* src = GetRowPointer(y);
    JSAMPROW rows[1] = {src};
    if (!direct) {
      if (indexed) {
        // Identity gray ramps below 8 bits: one index (= gray value) per byte.
        for (DWORD x = 0; x < width; x++) row[x] = GetIndexAtRaw((LONG)x, (LONG)y);
      } else {
        for (DWORD x = 0; x < width; x++) {
          row[3 * x] = src[3 * x + 2];
          row[3 * x + 1] = src[3 * x + 1];
          row[3 * x + 2] = src[3 * x];
        }
      }
      rows[0] = row;
    }
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  free(manager.buffer);
  free(row);
  return true;
}
