#include "tgl/tgl_loader.h"

#include "engine/engine_extensions.h"
#include "tgl/tgl_animation.h"

#include <algorithm>

namespace {

// Pixels sent to a texture at a time: a frame of more goes up in parts, with
// a look at the clock between them.
constexpr std::size_t kUploadPixels = 256 * 1024;

} // namespace

TglLoader::~TglLoader() {
    decoder_.cancel();
    dropUpload();
}

void TglLoader::start(const char* path) {
    dropUpload();
    animation_.reset();
    decoder_.start(path);
}

void TglLoader::cancel() {
    decoder_.cancel();
    dropUpload();
    animation_.reset();
    engine_.reset();
}

void TglLoader::dropUpload() {
    if (upload_ && upload_->texture != 0) engine_->freeTexture(upload_->texture);
    upload_.reset();
}

void TglLoader::ensureAnimation() {
    if (animation_) return;
    animation_ = std::make_unique<CTGL>();
    animation_->setTable(decoder_.header(), decoder_.frames());
}

// A small frame becomes its texture at once; a large one gets an empty
// texture, filled by uploadSome.
void TglLoader::begin(tglformat::DecodedFrame& frame) {
    engine_.acquire();
    EngineExtensions* extensions = extensionsOf(engine_.get());
    if (!extensions) return;
    const imaging::DecodedImage& image = frame.pixels;
    const bool whole = image.pixels.size() <= kUploadPixels;
    const TextureHandle texture =
        extensions->createTexture(image.width, image.height, whole ? image.pixels.data() : nullptr);
    if (texture == 0) return;
    if (whole) {
        animation_->adoptTexture(frame.index, texture, image.width, image.height);
        return;
    }
    upload_ = std::make_unique<Upload>();
    upload_->frame = std::move(frame);
    upload_->texture = texture;
}

// True once no upload is left; at least one part goes up per call.
bool TglLoader::uploadSome(std::chrono::steady_clock::time_point deadline) {
    if (!upload_) return true;
    const imaging::DecodedImage& image = upload_->frame.pixels;
    const int rowsAtATime =
        std::max(1, static_cast<int>(kUploadPixels / static_cast<std::size_t>(image.width)));
    do {
        const int rows = std::min(rowsAtATime, image.height - upload_->rowsDone);
        const std::uint32_t* from =
            image.pixels.data() + std::size_t(upload_->rowsDone) * std::size_t(image.width);
        if (!engine_->extensions()->updateTexture(upload_->texture, upload_->rowsDone, rows,
                                                  from)) {
            dropUpload();
            return true;
        }
        upload_->rowsDone += rows;
    } while (upload_->rowsDone < image.height && std::chrono::steady_clock::now() < deadline);
    if (upload_->rowsDone < image.height) return false;
    animation_->adoptTexture(upload_->frame.index, upload_->texture, image.width, image.height);
    upload_.reset();
    return true;
}

TglLoader::Progress TglLoader::poll(std::chrono::steady_clock::time_point deadline) {
    tglformat::DecodedFrame frame;
    for (;;) {
        if (!uploadSome(deadline)) return Progress::Loading;
        switch (decoder_.next(deadline, frame)) {
        case tglformat::BackgroundDecoder::Progress::Idle: return Progress::Idle;
        case tglformat::BackgroundDecoder::Progress::Loading: return Progress::Loading;
        case tglformat::BackgroundDecoder::Progress::Failed:
            animation_.reset();
            engine_.reset();
            return Progress::Failed;
        case tglformat::BackgroundDecoder::Progress::Loaded:
            ensureAnimation();
            return Progress::Loaded;
        case tglformat::BackgroundDecoder::Progress::Frame:
            ensureAnimation();
            try {
                begin(frame);
            } catch (...) {
                // A refused allocation: this frame gets no sprite.
            }
            if (std::chrono::steady_clock::now() >= deadline) return Progress::Loading;
            break;
        }
    }
}

CTGL* TglLoader::take(std::vector<tglformat::FrameStatus>* statuses) {
    if (!animation_) return nullptr;
    tglformat::BackgroundDecoder::Result result = decoder_.take();
    if (statuses) *statuses = std::move(result.statuses);
    engine_.reset(); // the animation holds its own
    return animation_.release();
}
