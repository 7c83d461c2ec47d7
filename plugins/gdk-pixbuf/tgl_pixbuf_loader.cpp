// A gdk-pixbuf loader for .tgl files, so that every GTK program and the
// thumbnailers built on gdk-pixbuf open them: the still image is the first
// frame that shows, cropped to the frames' box; the animation plays each
// frame's picture in that box for its own time. Everything is read through
// the format library, within its limits; a file it refuses is a GError.

#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#undef GDK_PIXBUF_ENABLE_BACKEND

#include "format/animation.h"
#include "format/frame_schedule.h"
#include "format/thumbnail.h"
#include "image/limits.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// Frames of no time show as long as the shortest delay GTK programs honour.
constexpr int kShortestDelay = 20;

// The animation as read, its box and each frame's time.
struct Loaded {
    tglformat::Animation animation;
    tglformat::Box box;
    std::vector<std::int32_t> delays; // milliseconds
};

bool fail(GError** error, const char* sentence) {
    g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, sentence);
    return false;
}

bool read(tglformat::ByteSource* source, Loaded& out, GError** error) {
    try {
        if (!source || !tglformat::readAnimation(*source, out.animation))
            return fail(error, "The file is not a .tgl animation.");
    } catch (const std::bad_alloc&) {
        return fail(error, "The animation does not fit in memory.");
    }
    out.box = tglformat::shownBox(out.animation);
    if (out.box.empty()) return fail(error, "No frame of the animation shows in the window.");
    for (const tglformat::Frame& frame : out.animation.frames) {
        out.delays.push_back(std::max(frame.duration, kShortestDelay));
    }
    return true;
}

// A frame's picture as a pixbuf of straight RGBA.
GdkPixbuf* pixbufOf(const tglformat::Picture& picture) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, picture.width, picture.height);
    if (!pixbuf) return nullptr;
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    guchar* rows = gdk_pixbuf_get_pixels(pixbuf);
    for (int y = 0; y < picture.height; ++y) {
        guchar* to = rows + std::size_t(y) * std::size_t(stride);
        const std::uint32_t* from =
            picture.pixels.data() + std::size_t(y) * std::size_t(picture.width);
        for (int x = 0; x < picture.width; ++x, to += 4) {
            to[0] = guchar(from[x] >> 16);
            to[1] = guchar(from[x] >> 8);
            to[2] = guchar(from[x]);
            to[3] = guchar(from[x] >> 24);
        }
    }
    return pixbuf;
}

GdkPixbuf* frameOf(const Loaded& loaded, std::size_t index) {
    return pixbufOf(tglformat::croppedFrame(loaded.animation, index, loaded.box));
}

GdkPixbuf* stillOf(const Loaded& loaded) {
    const std::size_t first = tglformat::firstShownFrame(loaded.animation, loaded.box);
    return first < loaded.animation.frames.size() ? frameOf(loaded, first) : nullptr;
}

// The file the loader was given, read through its descriptor, so that the
// library's checks on regular files and sizes apply as to any path.
std::unique_ptr<tglformat::ByteSource> sourceOf(FILE* file) {
    return tglformat::openFile(("/proc/self/fd/" + std::to_string(fileno(file))).c_str());
}

} // namespace

G_BEGIN_DECLS

// The animation: the file's frames, each composed when an iterator comes to it.
typedef struct {
    GdkPixbufAnimation parent;
    Loaded* loaded;
    GdkPixbuf* still;
} TglAnimation;
typedef struct {
    GdkPixbufAnimationClass parent_class;
} TglAnimationClass;

typedef struct {
    GdkPixbufAnimationIter parent;
    TglAnimation* animation;
    tglformat::FrameSchedule* schedule; // on the millisecond clock of the times given
    GdkPixbuf* picture;                 // of the current frame, made when asked for
} TglAnimationIter;
typedef struct {
    GdkPixbufAnimationIterClass parent_class;
} TglAnimationIterClass;

G_END_DECLS

G_GNUC_BEGIN_IGNORE_DEPRECATIONS
G_DEFINE_TYPE(TglAnimation, tgl_animation, GDK_TYPE_PIXBUF_ANIMATION)
G_DEFINE_TYPE(TglAnimationIter, tgl_animation_iter, GDK_TYPE_PIXBUF_ANIMATION_ITER)

namespace {

// Wrapping, as the schedule's clock does.
std::uint32_t milliseconds(const GTimeVal* time) {
    if (time) return std::uint32_t(gint64(time->tv_sec) * 1000 + time->tv_usec / 1000);
    return std::uint32_t(g_get_real_time() / 1000);
}

void animationFinalize(GObject* object) {
    TglAnimation* self = reinterpret_cast<TglAnimation*>(object);
    delete self->loaded;
    if (self->still) g_object_unref(self->still);
    G_OBJECT_CLASS(tgl_animation_parent_class)->finalize(object);
}

gboolean isStatic(GdkPixbufAnimation* animation) {
    return reinterpret_cast<TglAnimation*>(animation)->loaded->delays.size() <= 1;
}

GdkPixbuf* staticImage(GdkPixbufAnimation* animation) {
    return reinterpret_cast<TglAnimation*>(animation)->still;
}

void sizeOf(GdkPixbufAnimation* animation, int* width, int* height) {
    const tglformat::Box& box = reinterpret_cast<TglAnimation*>(animation)->loaded->box;
    if (width) *width = box.width();
    if (height) *height = box.height();
}

GdkPixbufAnimationIter* iterOf(GdkPixbufAnimation* animation, const GTimeVal* start) {
    auto* iter =
        static_cast<TglAnimationIter*>(g_object_new(tgl_animation_iter_get_type(), nullptr));
    iter->animation = reinterpret_cast<TglAnimation*>(g_object_ref(animation));
    iter->schedule = new tglformat::FrameSchedule;
    iter->schedule->setFrames(iter->animation->loaded->delays, milliseconds(start));
    iter->picture = nullptr;
    return &iter->parent;
}

void iterFinalize(GObject* object) {
    TglAnimationIter* self = reinterpret_cast<TglAnimationIter*>(object);
    if (self->picture) g_object_unref(self->picture);
    if (self->animation) g_object_unref(self->animation);
    delete self->schedule;
    G_OBJECT_CLASS(tgl_animation_iter_parent_class)->finalize(object);
}

int delayOf(GdkPixbufAnimationIter* iter) {
    const TglAnimationIter* self = reinterpret_cast<TglAnimationIter*>(iter);
    return self->animation->loaded->delays[std::size_t(self->schedule->current())];
}

GdkPixbuf* pictureOf(GdkPixbufAnimationIter* iter) {
    TglAnimationIter* self = reinterpret_cast<TglAnimationIter*>(iter);
    if (!self->picture)
        self->picture = frameOf(*self->animation->loaded, std::size_t(self->schedule->current()));
    return self->picture;
}

gboolean loading(GdkPixbufAnimationIter*) { return FALSE; }

gboolean advance(GdkPixbufAnimationIter* iter, const GTimeVal* now) {
    TglAnimationIter* self = reinterpret_cast<TglAnimationIter*>(iter);
    const std::int32_t before = self->schedule->current();
    self->schedule->catchUp(milliseconds(now));
    if (self->schedule->current() == before) return FALSE;
    if (self->picture) g_object_unref(self->picture);
    self->picture = nullptr;
    return TRUE;
}

} // namespace

static void tgl_animation_class_init(TglAnimationClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = animationFinalize;
    GdkPixbufAnimationClass* animation = GDK_PIXBUF_ANIMATION_CLASS(klass);
    animation->is_static_image = isStatic;
    animation->get_static_image = staticImage;
    animation->get_size = sizeOf;
    animation->get_iter = iterOf;
}
static void tgl_animation_init(TglAnimation*) {}

static void tgl_animation_iter_class_init(TglAnimationIterClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = iterFinalize;
    GdkPixbufAnimationIterClass* iter = GDK_PIXBUF_ANIMATION_ITER_CLASS(klass);
    iter->get_delay_time = delayOf;
    iter->get_pixbuf = pictureOf;
    iter->on_currently_loading_frame = loading;
    iter->advance = advance;
}
static void tgl_animation_iter_init(TglAnimationIter*) {}
G_GNUC_END_IGNORE_DEPRECATIONS

namespace {

GdkPixbuf* loadStill(FILE* file, GError** error) {
    Loaded loaded;
    if (!read(sourceOf(file).get(), loaded, error)) return nullptr;
    GdkPixbuf* still = stillOf(loaded);
    if (!still) fail(error, "No frame of the animation shows in the window.");
    return still;
}

// The animation over what was read; its still image is the first frame that shows.
GdkPixbufAnimation* animationOf(std::unique_ptr<Loaded> loaded, GError** error) {
    GdkPixbuf* still = stillOf(*loaded);
    if (!still) {
        fail(error, "No frame of the animation shows in the window.");
        return nullptr;
    }
    auto* animation = static_cast<TglAnimation*>(g_object_new(tgl_animation_get_type(), nullptr));
    animation->loaded = loaded.release();
    animation->still = still;
    return &animation->parent;
}

GdkPixbufAnimation* loadAnimation(FILE* file, GError** error) {
    auto loaded = std::make_unique<Loaded>();
    if (!read(sourceOf(file).get(), *loaded, error)) return nullptr;
    return animationOf(std::move(loaded), error);
}

// Data given a piece at a time is gathered, then read as a whole.
struct Incremental {
    GdkPixbufModuleSizeFunc size;
    GdkPixbufModulePreparedFunc prepared;
    GdkPixbufModuleUpdatedFunc updated;
    gpointer data;
    std::vector<std::uint8_t> bytes;
};

gpointer beginLoad(GdkPixbufModuleSizeFunc size, GdkPixbufModulePreparedFunc prepared,
                   GdkPixbufModuleUpdatedFunc updated, gpointer data, GError**) {
    return new Incremental{size, prepared, updated, data, {}};
}

gboolean loadIncrement(gpointer context, const guchar* buffer, guint size, GError** error) {
    auto* self = static_cast<Incremental*>(context);
    if (self->bytes.size() + size >= InputLimits::kMaxFileBytes)
        return fail(error, "The file is too large to be a .tgl animation.");
    self->bytes.insert(self->bytes.end(), buffer, buffer + size);
    return TRUE;
}

// The whole animation goes to the loader, as load_animation gives it, with its
// still image for programs that ask for a picture; the loader scales both to
// what the size callback asked.
gboolean stopLoad(gpointer context, GError** error) {
    std::unique_ptr<Incremental> self(static_cast<Incremental*>(context));
    tglformat::MemorySource source(self->bytes.data(), self->bytes.size());
    auto loaded = std::make_unique<Loaded>();
    if (!read(&source, *loaded, error)) return FALSE;
    int width = loaded->box.width(), height = loaded->box.height();
    if (self->size) self->size(&width, &height, self->data);
    if (width == 0 || height == 0) return TRUE; // the size was all the caller wanted
    GdkPixbufAnimation* animation = animationOf(std::move(loaded), error);
    if (!animation) return FALSE;
    GdkPixbuf* still = gdk_pixbuf_animation_get_static_image(animation);
    if (self->prepared) self->prepared(still, animation, self->data);
    if (self->updated)
        self->updated(still, 0, 0, gdk_pixbuf_get_width(still), gdk_pixbuf_get_height(still),
                      self->data);
    g_object_unref(animation);
    return TRUE;
}

} // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module) {
    module->load = loadStill;
    module->load_animation = loadAnimation;
    module->begin_load = beginLoad;
    module->load_increment = loadIncrement;
    module->stop_load = stopLoad;
}

G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info) {
    static GdkPixbufModulePattern signature[] = {{const_cast<char*>("DFX"), nullptr, 100},
                                                 {nullptr, nullptr, 0}};
    static gchar* mimeTypes[] = {const_cast<gchar*>("application/x-tgl"), nullptr};
    static gchar* extensions[] = {const_cast<gchar*>("tgl"), nullptr};
    info->name = const_cast<gchar*>("tgl");
    info->signature = signature;
    info->description = const_cast<gchar*>("TGL sprite animation");
    info->mime_types = mimeTypes;
    info->extensions = extensions;
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = const_cast<gchar*>("MIT");
}

} // extern "C"
