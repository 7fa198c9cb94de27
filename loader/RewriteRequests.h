#pragma once
// The loader's answer to a write's request: the bytes that replace the
// file, made from the file passed in (its structure walked here, never in
// the viewer) and, for new pixels, the viewer's pixels passed beside it.
#include "core/LoaderRequest.h"
#include "core/UniqueFd.h"
#include "loader/OutgoingReply.h"

#include <vector>

// Answers a LoaderTask::Rewrite; `fds` holds the file, then the pixels
// where the kind of rewrite takes some.
OutgoingReply answerRewriteRequest(const LoaderRequest& request, std::vector<UniqueFd>& fds);
