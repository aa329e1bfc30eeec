#pragma once
// A spin edit that takes any integer while it is typed and brings a value outside its
// range to the nearer bound when the typing ends (the control loses the focus or Enter is
// pressed). A text that is not an integer reads as the minimum.

#include <QSpinBox>

class TSpinEdit final : public QSpinBox {
public:
  TSpinEdit(int Min, int Max, int Value, QWidget* Parent = nullptr);
  // The text as it stands, read as the control's value would be.
  int TypedValue() const;

protected:
  QValidator::State validate(QString& Input, int& Pos) const override;
  void fixup(QString& Input) const override;
};
