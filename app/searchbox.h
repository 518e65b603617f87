// The whole-library search of the main window: a field whose results show,
// as the reader types, in a list laid over the window under the field.
#pragma once

#include "store/search.h"

#include <QAbstractListModel>
#include <QLineEdit>

class QFrame;
class QLabel;
class QListView;
class QTimer;

// The results of one query, fetched a screen at a time from the library the
// program works on.
class SearchResults : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { SnippetRole = Qt::UserRole + 1, HitsRole, BookRole };
    // Results per fetch: more than a screen, so the list fills at once.
    static constexpr int Batch = 50;

    explicit SearchResults(QObject *parent = nullptr);

    // Searches afresh; an empty query, or no library, leaves no results.
    void setQuery(const QString &query);
    QString query() const { return m_query; }
    QStringList words() const { return m_words; }
    qint64 total() const { return m_total; }
    const search::Hit &hit(int row) const { return m_hits.at(row); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    QString m_query;
    QStringList m_words;
    qint64 m_total = 0;
    QList<search::Hit> m_hits;
};

class SearchBox : public QLineEdit
{
    Q_OBJECT
public:
    // The list of results is laid over host, which must hold the field.
    SearchBox(QWidget *host, QWidget *parent);

    SearchResults *results() const { return m_results; }
    QFrame *popup() const { return m_popup; }
    QListView *list() const { return m_list; }
    // "共 N 条结果" or "没有找到".
    QLabel *summary() const { return m_summary; }

    // Takes the keyboard as Ctrl+Shift+F does: the text selected for typing
    // over, the results of it shown again.
    void takeFocus();
    void hidePopup();
    // Forgets the text and its results: they belong to another library.
    void reset();

signals:
    // The reader chose a result; newTab asks for a book tab of its own.
    void opened(const search::Hit &hit, const QStringList &words, bool newTab);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search();
    void showPopup();
    void place();
    void open(int row, bool newTab);

    QWidget *m_host;
    QFrame *m_popup;
    QLabel *m_summary;
    QListView *m_list;
    SearchResults *m_results;
    QTimer *m_typing;
};
