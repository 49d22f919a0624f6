#pragma once

#include <QLabel>
#include <QWidget>

namespace tarvidon {

/// The busy notice shown while a file is loaded and scanned.
class TForm4 : public QWidget {
    Q_OBJECT

public:
    explicit TForm4(QWidget *parent = nullptr);

    QLabel *Panel1;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace tarvidon
