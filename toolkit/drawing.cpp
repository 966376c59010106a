// Drawing over a window's inner area, on top of its controls.
//
// Qt draws on a widget only from inside its paint event, so a drawing is not put on the screen at
// once: EndDrawing hands its boxes to an overlay, a child of the window's inner area that lies
// above every control, is transparent to the mouse and covers only the boxes. The overlay paints
// them whenever Qt repaints, so a box stays on top of a control that repaints itself.
#include "toolkit/internal_p.h"

#include <QPainter>
#include <QRect>
#include <map>
#include <vector>

namespace {

struct DrawnBox {
    QRect area;
    uint32_t colour = 0;

    bool operator==(const DrawnBox& other) const {
        return area == other.area && colour == other.colour;
    }
};

class DrawingOverlay : public QWidget {
  public:
    explicit DrawingOverlay(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setObjectName("DrawingOverlay");
        hide();
    }

    void ShowBoxes(const std::vector<DrawnBox>& boxes) {
        QRect bounds;
        for (const DrawnBox& box : boxes) {
            bounds = bounds.united(box.area);
        }
        if (bounds == geometry() && boxes == boxes_) {
            return; // an unchanged drawing must not repaint, or every repaint would cause another
        }
        boxes_ = boxes;
        setGeometry(bounds);
        raise();
        setVisible(!boxes_.empty());
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (const DrawnBox& box : boxes_) {
            const QColor colour(static_cast<int>(box.colour & 0xFF),
                                static_cast<int>((box.colour >> 8) & 0xFF),
                                static_cast<int>((box.colour >> 16) & 0xFF));
            painter.fillRect(box.area.translated(-geometry().topLeft()), colour);
        }
    }

  private:
    std::vector<DrawnBox> boxes_;
};

struct DrawingState {
    int32_t window = -1; // the window of the drawing under way, or -1
    std::vector<DrawnBox> boxes;
    std::map<int32_t, QPointer<DrawingOverlay>> overlays;
};

DrawingState& Drawing() {
    static DrawingState state;
    return state;
}

DrawingOverlay* OverlayOf(int32_t number) {
    QPointer<DrawingOverlay>& overlay = Drawing().overlays[number];
    QWidget* area = InnerArea(number);
    if (overlay == nullptr && area != nullptr) {
        overlay = new DrawingOverlay(area);
    }
    return overlay;
}

} // namespace

void BeginDrawing(int32_t number) {
    if (Drawing().window >= 0) {
        EndDrawing();
    }
    Drawing().window = LayerWindow(number) != nullptr ? number : -1;
    Drawing().boxes.clear();
}

void FillBox(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
    if (Drawing().window >= 0 && width > 0 && height > 0) {
        Drawing().boxes.push_back(DrawnBox{QRect(x, y, width, height), colour});
    }
}

void EndDrawing() {
    DrawingState& drawing = Drawing();
    if (drawing.window >= 0) {
        if (DrawingOverlay* overlay = OverlayOf(drawing.window)) {
            overlay->ShowBoxes(drawing.boxes);
        }
    }
    drawing.window = -1;
    drawing.boxes.clear();
}

void ForgetDrawings() {
    Drawing() = DrawingState{};
}
