// A label that reports the mouse: the web link, the copyright labels and the logos.
#pragma once

#include <QLabel>

namespace orm::ui {

class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

  signals:
    void mouseEntered();
    void mouseLeft();
    void mousePressed(Qt::MouseButton button);
    void mouseReleased(Qt::MouseButton button);
    // A left press and release both on the label; sent before mouseReleased, the order the
    // handlers were written for.
    void clicked();

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool m_leftDown = false;
};

// The 32 x 32 logo picture, drawn rather than shipped as a file.
QPixmap LogoPixmap(int size);

}  // namespace orm::ui
