#pragma once
// The loader's side of a streamed batch: it keeps the decoder of the JPEG
// whose rows are asked, so that each band costs one band's work.
#include "loader/PictureRequests.h"

// Answers a LoaderTask::Rows request: the rows `request.region` names,
// the next in the file or its first, written into the memory sent along as
// the request's second descriptor; no pixels for a file that has no
// band decode (not a JPEG, or CMYK inks). A failed reply where the
// decoder stops; the file's decoder goes after its last row or a failure.
OutgoingReply answerRowsRequest(const LoaderRequest& request, const std::vector<UniqueFd>& fds);
