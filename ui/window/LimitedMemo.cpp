#include "window/LimitedMemo.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace orvanel::ui {

int TLimitedMemo::Room() const {
  QTextCursor cursor = textCursor();
  int selected = cursor.selectionEnd() - cursor.selectionStart();
  return maxLength_ - (toPlainText().size() - selected);
}

void TLimitedMemo::keyPressEvent(QKeyEvent* event) {
  bool inserts = !event->text().isEmpty() && event->text().at(0).isPrint();
  bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if ((inserts || lineBreak) && !(event->modifiers() & Qt::ControlModifier)) {
    int length = lineBreak ? 1 : static_cast<int>(event->text().size());
    if (Room() < length) {
      event->accept();  // the memo is full: the key is swallowed
      return;
    }
  }
  QPlainTextEdit::keyPressEvent(event);
}

void TLimitedMemo::insertFromMimeData(const QMimeData* source) {
  if (!source->hasText()) return;
  int room = Room();
  if (room <= 0) return;
  insertPlainText(source->text().left(room));
}

void TLimitedMemo::inputMethodEvent(QInputMethodEvent* event) {
  int room = Room();
  if (!event->commitString().isEmpty() && event->commitString().size() > room) {
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(event->commitString().left(std::max(room, 0)), event->replacementStart(),
                        event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
    return;
  }
  QPlainTextEdit::inputMethodEvent(event);
}

}  // namespace orvanel::ui
