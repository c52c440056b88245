#include "sorted_combo.h"

#include "ascii.h"

#include <QComboBox>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

void addSortedEntries(QComboBox* box, const QStringList& entries)
{
    std::vector<std::pair<std::string, QString>> all; // the sort key beside each entry
    all.reserve(static_cast<std::size_t>(box->count() + entries.size()));
    for (int i = 0; i < box->count(); ++i)
        all.emplace_back(box->itemText(i).toStdString(), box->itemText(i));
    for (const QString& entry : entries)
        all.emplace_back(entry.toStdString(), entry);
    // The order in which listMailboxes gives them.
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return carrowin::text::lessIgnoringAsciiCase(a.first, b.first);
    });
    QStringList sorted;
    sorted.reserve(static_cast<qsizetype>(all.size()));
    for (auto& [key, text] : all)
        sorted.push_back(std::move(text));
    const QString text = box->currentText();
    box->clear();
    box->addItems(sorted);
    box->setEditText(text);
}
