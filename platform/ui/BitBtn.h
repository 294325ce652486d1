#pragma once
// A push button with a kind: each standard kind has its own glyph and caption.
// Choosing a kind puts the kind's caption on the button, so a window that
// wants its own caption sets it after the kind.
#include <QPushButton>

namespace ui {

class BitBtn : public QPushButton
{
    Q_OBJECT
    Q_PROPERTY(Kind kind READ kind WRITE setKind)

public:
    enum Kind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose };
    Q_ENUM(Kind)

    explicit BitBtn(QWidget *parent = nullptr);
    BitBtn(Kind kind, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    // A new standard kind sets glyph and caption; bkCustom removes the glyph
    // and keeps the caption. Choosing the kind the button has changes nothing.
    void setKind(Kind kind);

    static QString standardCaption(Kind kind);
    static QIcon standardGlyph(Kind kind);

private:
    Kind m_kind = bkCustom;
};

} // namespace ui
