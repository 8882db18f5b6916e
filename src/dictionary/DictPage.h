#pragma once
// TS_Dict: the dictionary browser page (letters, pairs, headwords, entry tree).
#include <QWidget>

class PageHost;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

class DictPage : public QWidget {
    Q_OBJECT
public:
    DictPage(PageHost &host, QWidget *parent = nullptr);

    // Initial state of the page (first show and every connect).
    void SetDict();
    // The page is shown: asks for the letters of the current dictionary.
    void TS_DictShow();
    // The dictionary names arrived with the registration.
    void setDictionaryNames(const QList<QByteArray> &names, int current);
    void selectDictionary(int index);

    // Reply handlers of the dictionary tags.
    void onDC_C(const QByteArray &body);
    void onDC_CC(const QByteArray &body);
    void onDC_W(const QByteArray &body);
    void onDC_S(const QByteArray &body);

    QComboBox *CB_Dict;
    QPushButton *B_Refr;
    QListWidget *LB_C;
    QListWidget *LB_CC;
    QListWidget *LB_W;
    QTreeWidget *TreeView1;
    QLabel *L_CN;
    QLabel *L_CCN;
    QLabel *L_WN;
    QLabel *L_SN;
    QLabel *L_DD;

private:
    PageHost &m_host;
};
