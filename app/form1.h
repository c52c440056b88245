#pragma once
// The one window. Its handlers are named after their control and event; each reads what
// it needs from the controls and leaves its results in them.
#include <QWidget>

#include <memory>

namespace Ui {
class Form1;
}

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override; // Form_Terminate

    void Form_Load();

    void sopt1_Click();
    void sopt2_Click();
    void Command1_Click();
    void cmdx1_Click();

    void inpth1_Change();
    void inpth1_Click();
    void inpth1_KeyUp();
    void inpth1_LostFocus();

    bool isRunning() const { return m_running; }

protected:
    void closeEvent(QCloseEvent* event) override; // Form_Unload
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class RunHost;

    void FindStoreRoot();
    void FillMailboxList();
    void rebuildWhenFolderExists();
    void applyDescriptionFonts();
    void connectHandlers();
    void enterRunningState();
    void resetAfterRun();

    std::unique_ptr<Ui::Form1> ui;
    bool m_running = false;
    bool m_closed = false;
};
