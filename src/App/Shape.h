// A plain rectangle with a white outline, drawn over the region it covers.
#pragma once

#include <QWidget>

class TShape : public QWidget {
    Q_OBJECT
  public:
    explicit TShape(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
