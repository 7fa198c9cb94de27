// The commands about the picture shown: its information panel, print and copy.
#include "ui/main/MainWindow.h"

#include "ui/main/MainCommands.h"
#include "ui/main/MainImage.h"
#include "ui/main/PictureInfoPanel.h"
#include "ui/main/PictureOutput.h"
#include "ui/main/PrintPreview.h"
#include "viewer/PictureFiles.h"
#include "viewer/PictureInfoReader.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileInfo>
#include <QPrinter>

void MainWindow::createInfoPanel()
{
    m_infoPanel = new PictureInfoPanel(this);
    m_infoReader = new PictureInfoReader(readPictureInfo, this);
    QAction* command = m_commands->action(ViewerCommand::PictureInfo);
    // The panel's title is the command's caption, in the language shown.
    const auto title = [this, command] {
        m_infoPanel->setWindowTitle(command->text().remove(QLatin1Char('&')));
    };
    title();
    connect(command, &QAction::changed, m_infoPanel, title);
    addDockWidget(Qt::RightDockWidgetArea, m_infoPanel);
    m_infoPanel->hide();
    connect(m_infoPanel, &QDockWidget::visibilityChanged, this, [this, command](bool) {
        command->setChecked(m_infoPanel->isVisible());
        followPictureInfo();
    });
    connect(m_infoReader, &PictureInfoReader::ready, this, [this](const PictureInfo& info) {
        if (info.path != m_infoPath)
            return;
        const int e = m_session->strip().shownEntry();
        const ProgramTexts& t = m_session->texts();
        m_infoPanel->showInfo(
            info, e >= 1 && e <= m_session->entryCount() ? m_session->entry(e).comment : QString(),
            InfoWords{t.FlashFiredText, t.FlashNotFiredText, t.MirroredText});
    });
    connect(m_infoReader, &PictureInfoReader::failed, this,
            [this](const QString& path, const QString& message) {
                if (path == m_infoPath)
                    m_infoPanel->showFailure(path, message);
            });
}

void MainWindow::togglePictureInfo()
{
    m_infoPanel->setVisible(!m_infoPanel->isVisible());
    if (m_infoPanel->isVisible())
        m_infoPanel->raise();
}

void MainWindow::followPictureInfo()
{
    if (!m_infoPanel || m_infoPanel->isHidden()) {
        m_infoPath.clear(); // asked again when shown
        return;
    }
    const QString path = shownPath();
    if (path == m_infoPath)
        return;
    m_infoPath = path;
    if (path.isEmpty())
        m_infoPanel->clear();
    else
        m_infoReader->request(path);
}

QImage MainWindow::shownImage()
{
    // The main image's picture while its file is unchanged, else read anew.
    const Picture picture = m_files->commandPicture(shownPath(), m_mainImage->picture());
    return picture.inDisplayColors(picture.toImage());
}

void MainWindow::printPicture()
{
    const QImage image = shownImage();
    const int e = m_session->strip().shownEntry();
    const QString comment = m_session->entry(e).comment;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(pageOrientationFor(image.size()));
    printer.setDocName(QFileInfo(m_session->entry(e).path).fileName());
    const ProgramTexts& t = m_session->texts();
    QString print = m_commands->action(ViewerCommand::Print)->text();
    PrintPreview dialog(&printer,
                        {t.PrintPreviewTitle, t.PrintFitPageCaption, t.PrintZoomInCaption, t.PrintZoomOutCaption,
                         t.PrintPortraitCaption, t.PrintLandscapeCaption, t.PrintPageSetupCaption,
                         print.remove(u'&')},
                        this);
    dialog.resize(1000, 720); // the tool bar whole, with the caption's option
    auto* withCaption = new QCheckBox(t.PrintCaptionOption);
    withCaption->setObjectName(QStringLiteral("chkPrintCaption"));
    withCaption->setEnabled(!comment.trimmed().isEmpty());
    dialog.addOption(withCaption);
    connect(&dialog, &PrintPreview::paintRequested, this,
            [&](QPrinter* p) { ::printPicture(*p, image, withCaption->isChecked() ? comment : QString()); });
    connect(withCaption, &QCheckBox::toggled, &dialog, &PrintPreview::updatePreview);
    dialog.exec();
}

void MainWindow::copyPicture()
{
    const QImage image = shownImage();
    QApplication::clipboard()->setMimeData(pictureMimeData(image, shownPath()));
}
