#include "file_drops.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace tarvidon {

std::optional<QString> DraggedFile(const QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return std::nullopt;
    const QString file = urls.front().toLocalFile();
    if (file.isEmpty() || QFileInfo(file).isDir())
        return std::nullopt;
    return file;
}

bool AcceptFileDrag(QDropEvent *event)
{
    if (!DraggedFile(event) || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

bool IsDragEvent(const QEvent *event)
{
    return event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop;
}

} // namespace tarvidon
