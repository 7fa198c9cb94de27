#pragma once
// A PNG reduced while it decodes: libpng hands over its rows one by one and
// each block of f x f pixels is averaged as it comes, so a fitted view of a
// 24-megapixel PNG never holds its whole frame (and never scales it after).
#include <QByteArray>
#include <QImage>
#include <QSize>

#include <atomic>

// The picture at 1/f of its stored size, f the largest whole factor that
// still covers `atLeast` in both directions; null where that gains nothing
// (f < 2), for interlaced files, when `stop` turns true, or when libpng
// finds damage (the whole decode then tells what is wrong).
QImage decodePngReduced(const QByteArray& data, QSize atLeast, const std::atomic<bool>* stop = nullptr);

// `image` as PNG bytes (8 bits a channel, alpha only where it has any),
// written by libpng itself: Qt's writer would load every image plugin to
// find who writes PNG. Empty on failure.
QByteArray encodePng(const QImage& image);
