#include "ZELWorldHome/SpinEdit.h"

namespace {
// Digits with an optional sign; at most ten digits, so that it fits a long long.
bool ReadInteger(const QString& Text, long long& Value) {
  const QString t = Text.trimmed();
  if (t.isEmpty() || t.size() > 11) return false;
  bool ok = false;
  Value = t.toLongLong(&ok);
  return ok;
}

bool MayBecomeInteger(const QString& Text) {
  const QString t = Text.trimmed();
  if (t.size() > 11) return false;
  for (qsizetype i = 0; i < t.size(); ++i)
    if (!t[i].isDigit() && !(i == 0 && (t[i] == '-' || t[i] == '+'))) return false;
  return true;
}
} // namespace

TSpinEdit::TSpinEdit(int Min, int Max, int Value, QWidget* Parent) : QSpinBox(Parent) {
  setRange(Min, Max);
  setValue(Value);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  setKeyboardTracking(false);
}

QValidator::State TSpinEdit::validate(QString& Input, int&) const {
  long long value = 0;
  if (ReadInteger(Input, value))
    return value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
  return MayBecomeInteger(Input) ? QValidator::Intermediate : QValidator::Invalid;
}

void TSpinEdit::fixup(QString& Input) const {
  long long value = 0;
  if (!ReadInteger(Input, value)) value = minimum();
  if (value < minimum()) value = minimum();
  if (value > maximum()) value = maximum();
  Input = textFromValue(static_cast<int>(value));
}

int TSpinEdit::TypedValue() const {
  QString text = cleanText();
  fixup(text);
  return valueFromText(text);
}
