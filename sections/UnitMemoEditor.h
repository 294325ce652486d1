#pragma once
// A full-size editor of one long text of the unit profile. "保存" stores the
// text in the own unit's row at once and hands it back to the profile's memo;
// "退出" closes the editor.
#include "FieldBinding.h"
#include "ui/GuardedDialog.h"

#include <QPointer>

class QAbstractButton;
class QPlainTextEdit;

class UnitMemoEditor : public ui::GuardedDialog
{
    Q_OBJECT

public:
    explicit UnitMemoEditor(QWidget *parent = nullptr);

    // Shows the profile memo's text modally; a save writes it back there.
    void editMemo(QPlainTextEdit *profileMemo);
    void Button1Click(); // 保存
    void Button2Click(); // 退出

    const QString &column() const { return m_column; }

protected:
    // Escape, the close box and Alt+F4 leave through 退出.
    void leaveRequested() override { Button2Click(); }
    void setUp(const QString &column, QPlainTextEdit *memo, QAbstractButton *saveButton,
               QAbstractButton *quitButton);

private:
    QString m_column;
    QPlainTextEdit *m_memo = nullptr;
    FieldBindings m_binding; // the memo on its column
    QPointer<QPlainTextEdit> m_profileMemo;
};
