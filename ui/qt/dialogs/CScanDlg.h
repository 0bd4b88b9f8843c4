#pragma once
#include "CLayoutDlg.h"

class QLabel;

// The device-search window (132): modeless, title bar without close box (its
// own, drawn inside the window), disabled from the start. Its line 1006 shows the line settings being tried;
// the search cannot be interrupted from it (the Cancel button is hidden and
// disabled, and closing it is refused).
class CScanDlg : public CLayoutDlg {
    Q_OBJECT
public:
    explicit CScanDlg(QWidget* owner = nullptr);

    // Sets line 1006; the caller repaints the window.
    void SetSettingsText(const QString& text);
    QLabel* settingsLabel() const { return settings_; }
    QLabel* titleBar() const { return title_; }

    // Neither the Escape key nor the window manager's close ends the search window.
    void reject() override;

private:
    void AddOwnTitleBar();

    QLabel* settings_;
    QLabel* title_ = nullptr;
};
