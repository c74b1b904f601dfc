#include "calibration/strings_optionals.h"

namespace ravelin {

const std::array<StringId, 4> kCameraStringIds = {{
    {1, "hardwareIdentifier"},
    {2, "sourceCamera"},
    {3, "parent"},
    {4, "serial"},
}};

const std::array<StringId, 3> kImuStringIds = {{
    {1, "hardwareIdentifier"},
    {2, "sourceImu"},
    {3, "parent"},
}};

const std::array<StringId, 4> kMetaStringIds = {{
    {1, "created_by"},
    {2, "device_serial"},
    {3, "date"},
    {4, "hardwareIdentifier"},
}};

const std::array<OptionalField, 8> kCameraOptionalFields = {{
    {0x01, OptionalKind::INT16, "cropRegion", "x"},
    {0x02, OptionalKind::INT16, "cropRegion", "y"},
    {0x04, OptionalKind::FLOAT, "temperature", "min"},
    {0x08, OptionalKind::FLOAT, "temperature", "max"},
    {0x10, OptionalKind::FLOAT, "preRotateClockwiseByDeg", ""},
    {0x20, OptionalKind::FLOAT, "imageCircleDiameterInDeg", ""},
    {0x40, OptionalKind::FLOAT, "mtf50", "center"},
    {0x80, OptionalKind::FLOAT, "mtf50", "temp"},
}};

const std::array<OptionalField, 8> kImuOptionalFields = {{
    {0x01, OptionalKind::FLOAT, "temperature", "min"},
    {0x02, OptionalKind::FLOAT, "temperature", "max"},
    {0x04, OptionalKind::FLOAT, "samplingRateInHz", ""},
    {0x08, OptionalKind::FLOAT, "gyroNoiseDensityStdDegsPerSecPerSqrtHz", ""},
    {0x10, OptionalKind::FLOAT, "accelNoiseDensityStdMtrsPerSecSqPerSqrtHz", ""},
    {0x20, OptionalKind::FLOAT, "gyroBiasStdPerMinute", ""},
    {0x40, OptionalKind::FLOAT, "accelBiasStdPerMinute", ""},
    {0x80, OptionalKind::BOOL, "isGyroAndAccelDataSynchronized", ""},
}};

}  // namespace ravelin
