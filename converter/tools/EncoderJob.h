// One run of the encoder: inputs, stream maps, video and audio options,
// filters and the output. A plain value, built on the stack per run.
#pragma once
#include "afx.h"

// Bits of m_dwFlags.
enum EncoderJobFlags : DWORD {
  JOB_FLAG_THREADS = 0x1,  // pass the wrapper's thread count
};

// Bits of m_dwVideoFlags and m_dwAudioFlags.
enum EncoderStreamFlags : DWORD {
  STREAM_FLAG_BEST_QUALITY = 0x1,     // quality 0
  STREAM_FLAG_DISABLED = 0x20000000,  // no such stream in the output
};

class CEncoderJob {
 public:
  // Raises a positive odd width or height by one.
  int MakeSizeEven();

  DWORD m_dwFlags = 0;
  int m_nSafe = 1;

  CString m_strInput1;
  int m_nInput1Seek = 0;
  int m_nInput1Duration = 0;
  int m_nInput1Offset = 0;
  CString m_strInput1Format;
  CString m_strInput2;
  int m_nInput2Seek = 0;
  int m_nInput2Duration = 0;
  int m_nInput2Offset = 0;
  CString m_strInput2Format;
  CString m_strInput3;
  int m_nInputRateNum = 0;
  int m_nInputRateDen = 0;

  int m_nMap1Input = -1;
  int m_nMap1Stream = -1;
  int m_nMap2Input = -1;
  int m_nMap2Stream = -1;

  CString m_strOutput;
  int m_nOutputSeek = 0;
  int m_nOutputDuration = 0;
  CString m_strOutputFormat;
  CString m_strTarget;
  CString m_strCodec;
  LONGLONG m_nMaxFileSize = 0;
  CString m_strFilterComplex;
  CString m_strExtraArgs1;
  CString m_strExtraArgs2;

  DWORD m_dwVideoFlags = 0;
  CString m_strVideoCodec;
  CString m_strVideoTag;
  CString m_strVideoArgs;
  CString m_strPixelFormat;
  int m_nVideoQuality = -1;
  int m_nWidth = 0;
  int m_nHeight = 0;
  int m_nAspectNum = 0;
  int m_nAspectDen = 0;
  int m_nFrameRateNum = 0;
  int m_nFrameRateDen = 0;
  int m_nVideoBitRate = 0;
  int m_nVideoFrames = 0;
  CString m_strVideoBitstreamFilter;
  CString m_strVideoProfile;
  CString m_strVideoPreset;
  CString m_strVideoFilter;
  int m_nCropX = 0;
  int m_nCropY = 0;
  int m_nCropWidth = 0;
  int m_nCropHeight = 0;
  int m_nRotation = 0;
  int m_bFlipHorizontal = 0;
  int m_bFlipVertical = 0;
  int m_bGrayscale = 0;
  int m_bNegate = 0;

  DWORD m_dwAudioFlags = 0;
  CString m_strAudioCodec;
  CString m_strAudioTag;
  CString m_strAudioArgs;
  int m_nAudioQuality = -1;
  int m_nChannels = 0;
  int m_nSampleRate = 0;
  int m_nAudioBitRate = 0;
  int m_nVolume = 256;
  CString m_strAudioBitstreamFilter;
  CString m_strAudioProfile;
  CString m_strAudioPreset;
  CString m_strAudioFilter;
  int m_nVolumePercent = 100;

  int m_nLoop = -1;
  int m_nHlsListSize = -1;
};
