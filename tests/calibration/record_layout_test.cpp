#include "tests/wire/record_layout.h"

#include <gtest/gtest.h>

#include "calibration/compact.h"

namespace ravelin::testing {

using CalibrationRecords = ::testing::Types<TLV, CameraBlockPayload, ExtrinsicsMat, ImuBlockPayload,
                                            ExtrinsicsOffsetPayload, CameraThermalLinear,
                                            MetaDataPayload, KbIntrinsics, KbSplineIntrinsics>;
INSTANTIATE_TYPED_TEST_SUITE_P(CalibrationRecords, RecordLayoutTest, CalibrationRecords);

}  // namespace ravelin::testing
