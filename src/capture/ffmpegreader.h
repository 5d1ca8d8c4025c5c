#pragma once
// The reader the FFmpeg-backed kinds share: cameras (v4l2, dshow), the
// lavfi test camera, network streams and picture or video files.
#include "sourcekind.h"

namespace capture {

// Opens the source through libavdevice/libavformat. Blocks up to
// kNetworkTimeoutMs for network sources; `interrupt` cancels it and is kept:
// FFmpeg's network layer holds on to the callback it was opened with.
Result<ReaderPtr> openFfmpegReader(const CaptureSource& source, const CaptureFormat& format,
                                   const std::shared_ptr<Interrupt>& interrupt);

// Decoder messages (damaged MJPEG frames) are counted per decoder instead of
// printed; other FFmpeg messages go on as before.
void quietDecoders();

}  // namespace capture
