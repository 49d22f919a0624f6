#pragma once

#include "catalogue.h"
#include "comparison.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tarvidon {

class CatalogueListModel;
class CompletingComboBox;
class NameField;
class TForm2;
class TForm3;
class TForm4;

/// The main window: holds the data and the catalogue, and every user
/// action starts in one of its handlers.
class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Event handlers, each run inside the error guard.
    void BitBtn1Click();
    void Edit1KeyPress();
    void ComboBox1KeyPress();
    void ComboBox2KeyPress();
    void BitBtn2Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SelectEntry(MatchIndex i);
    // A dump dropped on the image view is identified among the records.
    void Form3DragOver(QDragMoveEvent *event);
    void Form3DragDrop(QDropEvent *event);

    [[nodiscard]] const EngineState &state() const { return state_; }

    QLineEdit *Edit1;
    QLabel *Panel1;
    QPushButton *BitBtn1;
    QLabel *Panel2;
    QPushButton *BitBtn2;
    CompletingComboBox *ComboBox1;
    QLabel *Panel3;
    CompletingComboBox *ComboBox2;
    QLabel *Panel4;
    NameField *Edit2;
    QFrame *Panel5;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;

    TForm2 *Form2;
    TForm3 *Form3;
    TForm4 *Form4;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void acceptFileDrops();
    void createControls();
    void createFields();
    void createPanels();
    void createButtons();
    void createLists();
    void connectHandlers();
    void FormCreate();

    void useDataFile(const QString &file);
    void openDataFile();
    void checkDataFile();
    void loadAndScan();
    void showLists();
    void showBusyNotice();

    /// Runs action once the drop has ended, so that the drag's source does
    /// not wait through a load or a message box.
    void afterTheDrop(std::function<void()> action);
    void identifyDump(const QString &file);
    void selectImage(ImageView image);
    void selectInModelList(const std::vector<ImageMatch> &matches);

    EngineState state_;
    std::optional<MatchIndex> selected_; // what a save writes among equal names
    bool busyNoticePlaced_ = false;
    CatalogueListModel *modelList_;
    CatalogueListModel *modelItems_;
    CatalogueListModel *productItems_;
};

} // namespace tarvidon
