#pragma once
// A reply as the loader sends it. Its pixels went into memory the viewer
// gave (see LoaderChannel), which goes back with it by itself.
#include "core/LoaderReply.h"

struct OutgoingReply {
    LoaderReply reply;

    static OutgoingReply failure(const QString& error)
    {
        OutgoingReply out;
        out.reply.error = error;
        return out;
    }
};
