#include "viewer/PictureInfoReader.h"

#include "core/Errors.h"

PictureInfoReader::PictureInfoReader(Read read, QObject* parent)
    : QObject(parent), m_read(std::move(read)), m_runner(1)
{
}

void PictureInfoReader::request(const QString& path)
{
    if (m_ticket)
        m_runner.cancel(m_ticket);
    m_ticket = m_runner.submit(
        [this, path](const JobRunner::StopFlag&) -> JobRunner::Delivery {
            PictureInfo info = m_read(path);
            return [this, info = std::move(info)] { emit ready(info); };
        },
        [this, path](std::exception_ptr error) { emit failed(path, failureText(error)); });
}
