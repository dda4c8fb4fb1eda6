// A drop-down list that tells whether its list is dropped down, so a sampling timer can leave it alone
// while the user is choosing.
#pragma once

#include <QAbstractItemView>
#include <QComboBox>

class CDropList : public QComboBox {
public:
    using QComboBox::QComboBox;

    // Asks the popup itself: the window system may close it (another application activated) without
    // hidePopup running, and a flag kept by showPopup and hidePopup would then stay set for good.
    bool IsDroppedDown() const {
        const QAbstractItemView* list = view();
        return list && list->isVisible();
    }
};
