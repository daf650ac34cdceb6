#include "export/ResultPopup.h"

void ReplaceAll(QxString& text, const QxString& search, const QxString& replacement) {
  if (search.empty()) return;
  size_t position = 0;
  while ((position = text.find(search, position)) != QxString::npos) {
    text.replace(position, search.size(), replacement);
    position += replacement.size();
  }
}

void ShowResultPopup(const QxChar* message) {
  QxString text = message != nullptr ? message : QxString();
  // "&" first, so that the ampersands of later replacements stay as they are.
  ReplaceAll(text, QX_TEXT("&"), QX_TEXT("&amp;"));
  ReplaceAll(text, QX_TEXT("<"), QX_TEXT("&lt;"));
  ReplaceAll(text, QX_TEXT(">"), QX_TEXT("&gt;"));
  ReplaceAll(text, QX_TEXT("'"), QX_TEXT("&apos;"));
  ReplaceAll(text, QX_TEXT("\""), QX_TEXT("&quot;"));
  ReplaceAll(text, QX_TEXT("\r\n"), QX_TEXT("&#x0a;"));
  ReplaceAll(text, QX_TEXT("\n"), QX_TEXT("&#x0a;"));

  QxString markup;
  markup += QX_TEXT("<Border xmlns='http://schemas.microsoft.com/winfx/2006/xaml/presentation'")
            QX_TEXT(" xmlns:x='http://schemas.microsoft.com/winfx/2006/xaml'");
  markup += QX_TEXT(" VerticalAlignment='Center' HorizontalAlignment='Center' Padding='4'")
            QX_TEXT(" BorderThickness='1' BorderBrush='#767676' MaxWidth='212'>");
  markup += QX_TEXT(" <Border.Background>");
  markup += QX_TEXT("  <LinearGradientBrush StartPoint='0, 0' EndPoint='0, 1'>");
  markup += QX_TEXT("   <GradientStop Color='#ffffff' Offset='0'/>");
  markup += QX_TEXT("   <GradientStop Color='#c9d9ef' Offset='1'/>");
  markup += QX_TEXT("  </LinearGradientBrush>");
  markup += QX_TEXT(" </Border.Background>");
  markup += QX_TEXT(" <StackPanel TextBlock.FontFamily='Tahoma'>");
  markup += QX_TEXT("  <TextBlock Padding='9, 6, 30, 7' TextWrapping='Wrap'>");
  markup += text;
  markup += QX_TEXT("  </TextBlock>");
  markup += QX_TEXT(" </StackPanel>");
  markup += QX_TEXT("</Border>");
  AddinQX_ShowPopupCustom(markup.c_str(), 3000);
}
