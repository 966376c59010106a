// Fonts: the one that every window of the layer carries, and the fonts the program loads by
// number for its controls.
#include "toolkit/cp1252_p.h"
#include "toolkit/internal_p.h"

#include <QApplication>
#include <QFont>
#include <QScreen>
#include <cmath>
#include <map>

namespace {

struct FontState {
    // The font of controls that get none of their own.
    QFont controlFont;
    // The loaded fonts by font number; a font's handle is its number.
    std::map<int32_t, QFont> loaded;
};

FontState& Fonts() {
    static FontState state;
    return state;
}

} // namespace

void SetUpControlFont() {
    QFont controlFont("Liberation Sans");
    controlFont.setPointSize(8);
    QApplication::setFont(controlFont);
    // Every property counts as set, so that nothing of a font that a desktop theme sets later
    // reaches the windows that carry this one.
    controlFont.setResolveMask(QFont::AllPropertiesResolved);
    Fonts().controlFont = controlFont;
}

QFont ControlFont() {
    return Fonts().controlFont;
}

void ForgetFonts() {
    Fonts() = FontState{};
}

FontHandle LoadFontFace(int32_t number, const std::string& face, int32_t points, uint32_t flags) {
    if (QGuiApplication::instance() == nullptr || points <= 0 || number <= 0) {
        return 0;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dotsPerInch = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    QFont font(TextToWidget(face));
    font.setStyleHint(QFont::TypeWriter); // a fixed-pitch face if the named one is missing
    font.setPixelSize(static_cast<int>(std::lround(points * dotsPerInch / 72.0)));
    font.setWeight((flags & FONT_BOLD) != 0 ? QFont::Bold : QFont::Normal);
    Fonts().loaded[number] = font;
    return static_cast<FontHandle>(number);
}

void SetControlFont(int32_t id, FontHandle font) {
    QWidget* widget = ControlWidget(id);
    if (widget == nullptr) {
        return;
    }
    const std::map<int32_t, QFont>& loaded = Fonts().loaded;
    const auto found = font <= INT32_MAX ? loaded.find(static_cast<int32_t>(font)) : loaded.end();
    widget->setFont(found != loaded.end() ? found->second : QFont());
}
