#pragma once
// The loader's side of a playing animation: it keeps the decoder of the
// last animation asked about, so that each frame costs one frame's work.
#include "loader/PictureRequests.h"

// Answers a LoaderTask::Frame request: frame `request.frame` composed on
// the canvas, its delay, the frame count and plays; no pixels past the
// last frame. A failed reply where the frame is damaged.
OutgoingReply answerFrameRequest(const LoaderRequest& request, std::vector<UniqueFd>& fds,
                                 const PixelMemory& memory);
