#include "format/tgl_format.h"

namespace tglformat {

const char* statusText(FrameStatus status) {
    switch (status) {
    case FrameStatus::Ok: return "ok";
    case FrameStatus::NoBlock: return "no block";
    case FrameStatus::NotZlib: return "not zlib";
    case FrameStatus::NotAnImage: return "not an image";
    case FrameStatus::OverSizeLimit: return "over the size limit";
    case FrameStatus::OverImageLimit: return "over an image limit";
    case FrameStatus::OverDecodedBudget: return "over the decoded budget";
    }
    return "";
}

} // namespace tglformat
