// Windows-1252 at the widget boundary: the program's texts are single bytes, the widgets hold
// Unicode. The five code points that Windows-1252 leaves unassigned map to the C1 controls of
// the same value, so every byte survives a round trip through a widget. The soft hyphen 0xAD
// crosses as a visible hyphen, so that it takes its character cell like any other byte.
#pragma once

#include <QString>
#include <string>

[[nodiscard]] QString TextToWidget(const std::string& text);
// Characters with no Windows-1252 byte become "?".
[[nodiscard]] std::string TextFromWidget(const QString& text);
