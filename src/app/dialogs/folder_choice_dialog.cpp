#include "app/dialogs/folder_choice_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/views/folder_tree_items.h"
#include "store/folder_tree_model.h"
#include "store/tree_node.h"

VM_CFolderChoiceDialog::VM_CFolderChoiceDialog(QWidget* parent, const VM_CTree& tree, const char* title,
                                               const char* prompt, std::function<bool(const VM_CNode*)> selectable,
                                               int current)
    : QDialog(parent), m_tree(tree), m_view(new QTreeWidget(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(QString::fromUtf8(title));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromUtf8(prompt), this);
    label->setWordWrap(true);
    label->setBuddy(m_view);
    layout->addWidget(label);
    m_view->setHeaderHidden(true);
    VM_FillFolderItems(m_view, m_tree);
    for (QTreeWidgetItemIterator it(m_view); *it != nullptr; ++it) {
        if (selectable(m_tree.VM_Find(VM_ItemFolderId(*it)))) continue;
        (*it)->setFlags((*it)->flags() & ~Qt::ItemIsSelectable);
        (*it)->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    }
    layout->addWidget(m_view);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_view, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) { VM_OnCurrentChanged(item); });
    VM_OnCurrentChanged(nullptr);
    VM_Choose(current);
    resize(320, 360);
}

VM_CFolderChoiceDialog::~VM_CFolderChoiceDialog() = default;

void VM_CFolderChoiceDialog::VM_AddBackButton() {
    QPushButton* back = m_buttons->addButton(QStringLiteral("<< Back"), QDialogButtonBox::ResetRole);
    connect(back, &QPushButton::clicked, this, [this] { done(kBack); });
}

QTreeWidgetItem* VM_CFolderChoiceDialog::VM_FindItem(int folderId) const {
    return VM_FindFolderItem(m_view, folderId);
}

bool VM_CFolderChoiceDialog::VM_IsOffered(int folderId) const {
    const QTreeWidgetItem* item = VM_FindItem(folderId);
    return item != nullptr && (item->flags() & Qt::ItemIsSelectable);
}

bool VM_CFolderChoiceDialog::VM_Choose(int folderId) {
    if (!VM_IsOffered(folderId)) return false;
    m_view->setCurrentItem(VM_FindItem(folderId));
    return true;
}

int VM_CFolderChoiceDialog::VM_GetChosenFolder() const {
    const QTreeWidgetItem* item = m_view->currentItem();
    if (item == nullptr || !(item->flags() & Qt::ItemIsSelectable) || !item->isSelected()) return -1;
    return VM_ItemFolderId(item);
}

bool VM_CFolderChoiceDialog::VM_IsOkEnabled() const { return m_buttons->button(QDialogButtonBox::Ok)->isEnabled(); }

void VM_CFolderChoiceDialog::VM_OnCurrentChanged(QTreeWidgetItem* item) {
    const bool ok = item != nullptr && (item->flags() & Qt::ItemIsSelectable);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(ok);
}

int VM_ChooseTargetFolder(QWidget* parent, const VM_CAppCfg& cfg, const VM_CTree& tree, VM_ETreeKind kind,
                          bool forCopy, int current) {
    VM_CFolderChoiceDialog dialog(
        parent, tree, forCopy ? "Copy" : "Move", "Please Select a Folder:",
        [&](const VM_CNode* folder) { return VM_IsSelectableTarget(cfg, kind, folder, forCopy); }, current);
    if (dialog.exec() != QDialog::Accepted) return -1;
    return dialog.VM_GetChosenFolder();
}

int VM_ChooseEntryFolder(QWidget* parent, const VM_CTree& addressTree, int current) {
    VM_CFolderChoiceDialog dialog(
        parent, addressTree, "Select Folder",
        "Please select where to save this address book entry that you have just entered.",
        [](const VM_CNode* folder) { return folder != nullptr; }, current);
    dialog.VM_AddBackButton();
    const int result = dialog.exec();
    if (result == VM_CFolderChoiceDialog::kBack) return -2;
    return result == QDialog::Accepted ? dialog.VM_GetChosenFolder() : -1;
}
