#include "tui/text_edit.h"

namespace kvl {

EditAction edit_key(TextEdit *edit, EditKey key, char ch) {
  switch (key) {
    case EditKey::Escape:
      return EditAction::Cancel;
    case EditKey::Tab:
      edit->ok_selected = !edit->ok_selected;
      return EditAction::Buttons;
    case EditKey::Enter:
      return edit->ok_selected ? EditAction::Accept : EditAction::Cancel;
    case EditKey::Left:
      if (edit->pos == 0) return EditAction::Flash;
      edit->pos--;
      return EditAction::Redraw;
    case EditKey::Right:
      if (edit->pos >= edit->text.size()) return EditAction::Flash;
      edit->pos++;
      return EditAction::Redraw;
    case EditKey::Backspace:
      if (edit->pos == 0) return EditAction::Flash;
      edit->text.erase(--edit->pos, 1);
      return EditAction::Redraw;
    case EditKey::Char:
      if (edit->text.size() >= edit->limit) return EditAction::Flash;
      edit->text.insert(edit->pos++, 1, ch);
      return EditAction::Redraw;
    case EditKey::Other:
      break;
  }
  return EditAction::Flash;
}

}  // namespace kvl
