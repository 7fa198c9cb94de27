// How the main image fits its area: actual size, fitted, stretched, zoomed, full screen.
#include "ui/main/MainWindow.h"

#include "ui/main/ImageMouse.h"
#include "ui/main/MainImage.h"

#include <QScrollArea>

#include <algorithm>
#include <exception>

void MainWindow::showActualSize()
{
    m_imageScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_imageScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mainImage->setAutoSize(true);
    m_mainImage->setStretch(false);
}

void MainWindow::showChosenPicture()
{
    if (m_session->fitsPictures())
        fitCentred();
    else
        showActualSize();
}

void MainWindow::stretchToFit()
{
    m_mainImage->setAutoSize(false);
    m_mainImage->resize(m_imageScroller->width() - 2, m_imageScroller->height() - 2);
    m_imageScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_imageScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_mainImage->setStretch(true);
    m_mainImage->setProportional(false);
}

void MainWindow::fitTopLeft()
{
    m_mainImage->setAutoSize(false);
    m_mainImage->resize(m_imageScroller->width() - 2, m_imageScroller->height() - 2);
    m_imageScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_imageScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_mainImage->setProportional(true);
}

void MainWindow::fitCentred()
{
    m_mainImage->setCenter(true);
    fitTopLeft();
}

void MainWindow::zoomIn()
{
    m_zoomStep = std::min(m_zoomStep + 10, 200);
    m_mainImage->setCenter(false);
    m_mainImage->setStretch(true);
    m_mainImage->setProportional(true);
    m_mainImage->setAutoSize(false);
    m_mainImage->resize(m_mainImage->width() + m_zoomStep, m_mainImage->height() + m_zoomStep);
}

void MainWindow::zoomOut()
{
    if (m_mainImage->height() < 20)
        return;
    m_zoomStep += 10;
    m_mainImage->setCenter(false);
    m_mainImage->setStretch(true);
    m_mainImage->setProportional(true);
    m_mainImage->setAutoSize(false);
    // A widget can't be smaller than nothing; the picture then just vanishes.
    m_mainImage->resize(std::max(m_mainImage->width() - m_zoomStep, 0),
                        std::max(m_mainImage->height() - m_zoomStep, 0));
}

void MainWindow::toggleFullScreen()
{
    // A picture the layout can't read is told after the switch is complete.
    std::exception_ptr failure;
    try {
        if (!m_session->isFullScreen()) {
            m_normalGeometry = geometry();
            m_session->setFullScreen(true);
            showFullScreen();
            relayout();
        } else {
            m_session->setFullScreen(false);
            showNormal();
            if (m_normalGeometry.isValid())
                setGeometry(m_normalGeometry);
            relayout();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    scrollArea(m_session->isFullScreen());
    fitTopLeft();
    if (!m_session->followsCursor())
        toggleFollowMode();
    m_mouse->restartIdle();
    if (failure)
        std::rethrow_exception(failure);
}
