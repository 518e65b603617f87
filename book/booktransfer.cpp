// The bookshelf menu's way to exports and imports: the page names the item,
// the window that owns the dialogs does the rest.
#include "book/book.h"

void TForm2::requestExport()
{
    if (const TTreeNode *node = tv1->Selected())
        emit exportRequested(node->Data.Tid);
    else
        inform(QStringLiteral("请先在书架上选择要导出的书卷或分类。"));
}

void TForm2::requestImport()
{
    const TTreeNode *node = tv1->Selected();
    if (!node) {
        inform(QStringLiteral("请先在书架上选择要导入到的分类。"));
        return;
    }
    // A new book goes into a category, the item at the top of the shelf.
    const QTreeWidgetItem *top = node;
    while (top->parent())
        top = top->parent();
    emit importRequested(static_cast<const TTreeNode *>(top)->Data.Tid);
}
