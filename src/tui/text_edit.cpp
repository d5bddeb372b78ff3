#include "tui/text_edit.h"

namespace kvl {

EditAction edit_key(TextEdit *edit, KeyPress key) {
  switch (key.key) {
    case Key::Escape:
      return EditAction::Cancel;
    case Key::Resize:
      return EditAction::Resize;
    case Key::Tab:
      edit->ok_selected = !edit->ok_selected;
      return EditAction::Buttons;
    case Key::Enter:
      return edit->ok_selected ? EditAction::Accept : EditAction::Cancel;
    case Key::Left:
      if (edit->pos == 0) return EditAction::Flash;
      edit->pos--;
      return EditAction::Redraw;
    case Key::Right:
      if (edit->pos >= edit->text.size()) return EditAction::Flash;
      edit->pos++;
      return EditAction::Redraw;
    case Key::Backspace:
      if (edit->pos == 0) return EditAction::Flash;
      edit->text.erase(--edit->pos, 1);
      return EditAction::Redraw;
    case Key::Char:
      if (edit->text.size() >= edit->limit) return EditAction::Flash;
      edit->text.insert(edit->pos++, 1, key.ch);
      return EditAction::Redraw;
    default:
      break;
  }
  return EditAction::Flash;
}

}  // namespace kvl
