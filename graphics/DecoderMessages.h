#pragma once
// What the libraries say on standard error while they read a picture
// ("libpng error: Read Error", "QBuffer::seek: Invalid pos", libtiff's
// complaints) tells a user nothing the message naming the file doesn't:
// within a QuietDecoding it is held back, unless asked for (pictavo-fx
// --verbose). Messages outside one pass as ever.
class QuietDecoding {
public:
    QuietDecoding();
    ~QuietDecoding();
    QuietDecoding(const QuietDecoding&) = delete;
    QuietDecoding& operator=(const QuietDecoding&) = delete;
};

// Whether the libraries' words reach standard error after all.
void showDecoderMessages(bool shown);
