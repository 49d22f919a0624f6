#pragma once

#include <QListView>
#include <QWidget>

namespace tarvidon {

/// The model list: every catalogue name in file order, row i being entry i.
class TForm2 : public QWidget {
    Q_OBJECT

public:
    explicit TForm2(QWidget *parent = nullptr);

    QListView *Models;
};

} // namespace tarvidon
