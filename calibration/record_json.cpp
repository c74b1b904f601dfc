#include "calibration/record_json.h"

#include <stdexcept>
#include <string>

#include "console/log.h"

namespace ravelin {

json recordToJson(const CadBlockPayload& cad) {
  json cameras = json::array();
  for (const CadPose& pose : cad.cameras) cameras.push_back(recordToJson(pose));
  json imus = json::array();
  for (const CadPose& pose : cad.imus) imus.push_back(recordToJson(pose));
  // The counts are bookkeeping: the pose lists carry them.
  json object = json::object();
  appendFieldsTo(object, CadBlockFixedPart{cad.alignmentMethod, cad.units, 0, 0, cad.head});
  object[std::string(kCadCameraPoses)] = std::move(cameras);
  object[std::string(kCadImuPoses)] = std::move(imus);
  return object;
}

void throwBlockSizeMismatch(std::string_view typeName, std::size_t recordSize,
                            const ByteCursor& rest) {
  const std::string name(typeName);
  const std::size_t blockSize = recordSize + rest.remaining();
  logError("Block of %zu bytes holds a %s record of %zu bytes", blockSize, name.c_str(),
           recordSize);
  throw BlobFault("Block type/size mismatch", rest.position(),
                  "the block to end after its " + std::string(recordName(typeName)),
                  byteCount(rest.remaining()) + " more");
}

}  // namespace ravelin
