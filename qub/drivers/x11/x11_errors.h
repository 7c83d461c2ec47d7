#pragma once

namespace qub {

// On X11: an error about a window that no longer exists (a drag source that
// went away before its answer arrived, say) is ignored instead of ending the
// process, as Xlib's default handler would; every other error goes to the
// handler that was there before.
void ignoreErrorsAboutVanishedWindows();

} // namespace qub
