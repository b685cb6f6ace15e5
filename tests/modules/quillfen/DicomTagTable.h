// The tag tree of utf8.dcm (made at set-up by make-fixtures.sh): elements of
// every kind of value, with their VR (QF_VR_*) and their text in UTF-8. One
// table for the Windows library test and the native readers test.
#pragma once
#include <cstdint>

#include "interfaces/QuillfenRecords.h"

struct DicomTagExpectation {
  uint16_t group, element;
  int vr;
  const char* utf8;
};

inline const DicomTagExpectation kUtf8TagTree[] = {
    {0x0010, 0x0010, QF_VR_PN, "\u5c71\u7530^\u592a\u90ce"},
    {0x0008, 0x0080, QF_VR_LO, "Kl\u00ednik \u65e5\u672c"},
    {0x0008, 0x0050, QF_VR_SH, "\u00c5CC"},
    {0x0008, 0x0081, QF_VR_ST, "Str\u00e8et"},
    {0x0032, 0x4000, QF_VR_LT, "Line \u00e9"},
    {0x0008, 0x0054, QF_VR_AE, "STORE"},
    {0x0010, 0x1010, QF_VR_AS, "042Y"},
    {0x0028, 0x0009, QF_VR_AT, "(0018,1063)"},
    {0x0020, 0x0020, QF_VR_CS, "L\\P"},
    {0x0008, 0x0020, QF_VR_DA, "20240131"},
    {0x0010, 0x1030, QF_VR_DS, "72.5"},
    {0x0008, 0x002A, QF_VR_DT, "20240131101112"},
    {0x0018, 0x9087, QF_VR_FD, "1000.5"},
    {0x0018, 0x9089, QF_VR_FD, "1\\0\\0"},
    {0x0020, 0x0012, QF_VR_IS, "7"},
    {0x0018, 0x6020, QF_VR_SL, "-5"},
    {0x0028, 0x0106, QF_VR_SS, "-7"},
    {0x0018, 0x9219, QF_VR_SS, "-2"},
    {0x0008, 0x0030, QF_VR_TM, "101112"},
    {0x0008, 0x0016, QF_VR_UI, "1.2.840.10008.5.1.4.1.1.7"},
    {0x0018, 0x6022, QF_VR_UL, "70000"},
    {0x0018, 0x6024, QF_VR_US, "3"},
    {0x0018, 0x9445, QF_VR_FL, "2.5"},
};

// In the first item of (0008,1140): (0008,1150), and in the first item of its
// (0040,A730) the UT (0040,A160); in the second item (0008,1150) again.
inline const char kUtf8FirstReference[] = "1.2.3";
inline const char kUtf8InnerText[] = "Inner \u00e5 text";
inline const char kUtf8SecondReference[] = "1.2.4";
