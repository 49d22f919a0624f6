#pragma once

#include <QPlainTextEdit>
#include <QWidget>

namespace tarvidon {

/// The image view: the selected firmware image as 16 hex rows.
class TForm3 : public QWidget {
    Q_OBJECT

public:
    explicit TForm3(QWidget *parent = nullptr);

    QPlainTextEdit *Memo1;
};

} // namespace tarvidon
