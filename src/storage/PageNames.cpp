#include "storage/PageNames.h"

PageNames::PageNames()
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}
