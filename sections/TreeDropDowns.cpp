#include "TreeDropDowns.h"

#include "ui/HandlerGuard.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>

namespace {

class DropDownWatch : public QObject
{
public:
    DropDownWatch(QObject *parent, TreeOwner owner, std::function<void(int)> open)
        : QObject(parent), m_owner(owner), m_open(std::move(open))
    {
    }

    bool eventFilter(QObject *watched, QEvent *e) override
    {
        const QEvent::Type type = e->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::KeyPress && type != QEvent::Wheel)
            return false;
        const int slot = treeSlotOfDropDown(m_owner, watched->objectName());
        if (slot < 0)
            return false;
        bool opens = type == QEvent::MouseButtonPress;
        if (type == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(e);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
                return false; // focus moves on
            opens = key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space
                    || (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier));
        }
        if (opens)
            ui::guarded([this, slot] { m_open(slot); });
        return true;
    }

private:
    TreeOwner m_owner;
    std::function<void(int)> m_open;
};

} // namespace

void watchTreeDropDowns(QWidget *form, TreeOwner owner, std::function<void(int)> open)
{
    auto *watch = new DropDownWatch(form, owner, std::move(open));
    for (int slot = 0; slot < int(treeFlags(owner).size()); ++slot)
        if (auto *dropDown = form->findChild<QComboBox *>(treeDropDownNameOf(owner, slot)))
            dropDown->installEventFilter(watch);
}
