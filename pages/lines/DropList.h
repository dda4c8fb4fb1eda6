// A drop-down list that knows whether its list is dropped down, so a sampling timer can leave it alone
// while the user is choosing.
#pragma once

#include <QComboBox>

class CDropList : public QComboBox {
  public:
    using QComboBox::QComboBox;

    bool IsDroppedDown() const { return m_dropped; }

    void showPopup() override {
        m_dropped = true;
        QComboBox::showPopup();
    }
    void hidePopup() override {
        QComboBox::hidePopup();
        m_dropped = false;
    }

  private:
    bool m_dropped = false;
};
