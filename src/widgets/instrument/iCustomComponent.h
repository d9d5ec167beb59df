#pragma once
// The class every instrument widget derives from.

#include "widgets/instrument/iVCLComponent.h"

class TiCustomComponent : public TiVCLComponent {
    Q_OBJECT
public:
    explicit TiCustomComponent(QWidget* parent = nullptr) : TiVCLComponent(parent) {}
};
