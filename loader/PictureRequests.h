#pragma once
// The loader's answers about picture files, given by the program's own
// picture code on the bytes of the descriptor passed in.
#include "core/LoaderRequest.h"
#include "core/SealedMapping.h"
#include "core/UniqueFd.h"
#include "loader/OutgoingReply.h"

class Picture;

#include <QImage>

#include <functional>
#include <memory>
#include <vector>

// A memfd of the size asked, to fill with pixels: given by the viewer.
using PixelMemory = std::function<UniqueFd(qint64 size)>;

// Answers `request`; `fds` holds its descriptors, the file first. A
// picture that can't be read is a failed reply; only running out of
// memory throws (std::bad_alloc).
OutgoingReply answerPictureRequest(const LoaderRequest& request, std::vector<UniqueFd>& fds,
                                   const PixelMemory& memory);
// The size of the file behind `fd`, refused as any picture file would be.
qint64 fileSize(int fd, const QString& name);
// The whole file behind `fd`, read without moving its offset, which the
// viewer shares. Limits as for any picture file; throws AppError.
QByteArray fileBytes(int fd, const QString& name);
// The file's `size` bytes: over a mapping, kept in `mapping`, when the
// viewer sealed it (only what is read becomes resident), else read.
QByteArray mappedOrRead(int fd, qint64 size, const QString& name, SealedMapping::Read read,
                        std::shared_ptr<const SealedMapping>& mapping);
// What every answer about `picture` tells of it.
void putFacts(const Picture& picture, LoaderReply& reply);
// `image` copied into memory asked of `memory`, laid out as `layout` then
// says; palette and one-bit images become 32-bit ones on the way, and so do
// 24-bit ones `toDraw`.
void putPixels(QImage image, const QRect& region, const PixelMemory& memory, PixelLayout& layout,
               bool toDraw = false);
