#pragma once

#include "core/Exceptions.h"

#include <exception>

namespace ErrorBox {

template<typename F>
void guard(QWidget *parent, F &&command)
{
    try {
        command();
    } catch (const Exception &error) {
        show(parent, error);
    } catch (const std::exception &error) {
        show(parent, QString::fromLocal8Bit(error.what()));
    }
}

} // namespace ErrorBox
