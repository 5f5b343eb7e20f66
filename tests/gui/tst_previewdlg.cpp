// The preview dialog: counts, the lines of the contacts with their dial
// numbers, the filter and the skipped rows, over a table made in memory.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "DlgTestEnv.h"
#include "gui/app/PreviewDlg.h"
#include "i18n/LanguageTable.h"
#include "import/DataMap.h"
#include "import/DataRow.h"

namespace {

std::unique_ptr<CDataMap> MakeTable(const std::vector<std::vector<const char*>>& rows, int nFirstLine = 0) {
    const std::vector<const char*> headers = {"Name", "Firma", "Mobil", "E-Mail"};
    const std::vector<const char*> codes = {"N", "C", "PD", "E"};
    auto table = std::make_unique<CDataMap>();
    table->SetColumnCount(static_cast<int>(headers.size()));
    for (size_t i = 0; i < headers.size(); ++i) {
        table->GetHeaderRow()->SetField(static_cast<int>(i), headers[i]);
        table->GetMappingRow()->SetField(static_cast<int>(i), codes[i]);
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        table->AddRow(static_cast<int>(r));
        CDataRow* pRow = table->NextRow();
        if (nFirstLine > 0) pRow->SetLine(nFirstLine + static_cast<int>(r));
        for (size_t i = 0; i < rows[r].size(); ++i) pRow->SetField(static_cast<int>(i), rows[r][i]);
    }
    return table;
}

QString Cell(QTableView* pTable, int nRow, int nColumn) {
    return pTable->model()->index(nRow, nColumn).data().toString();
}

}  // namespace

class TestPreviewDlg : public QObject {
    Q_OBJECT

private slots:
    void showsFiltersAndMarksSkippedRows() {
        qvxtest::DialogEnv env;
        auto table = MakeTable({{"Anna Müller", "ACME", "+49 171 1", "anna@example.de"},
                                {"", "", "030 1", ""},
                                {"Bob", "", "", "bob@example.de"},
                                {"", "Taxi Nord", "0711 5", ""}});
        CPreviewDlg dlg(*table, 1, {7});
        dlg.show();
        auto* pTable = dlg.findChild<QTableView*>(QString::number(CPreviewDlg::kIdTable));
        auto* pFilter = dlg.findChild<QLineEdit*>(QString::number(CPreviewDlg::kIdFilter));
        auto* pSkipped = dlg.findChild<QCheckBox*>(QString::number(CPreviewDlg::kIdShowSkipped));
        auto* pCounts = dlg.findChild<QLabel*>(QString::number(CPreviewDlg::kIdCounts));
        QVERIFY(pTable && pFilter && pSkipped && pCounts);
        QCOMPARE(dlg.windowTitle(), qvxtest::DialogEnv::Text("PreviewDlg_Title"));

        // Counts with their lines; one line per contact, the number with its dial number.
        const QStringList counts = pCounts->text().split('\n');
        QCOMPARE(counts.size(), 3);
        QVERIFY2(counts[0].startsWith("Contacts: 3; details (phone numbers with their dial numbers): 6."),
                 qPrintable(counts[0]));
        QVERIFY2(counts[1].startsWith("Rows that give no contact") && counts[1].endsWith(": 1, on lines 3."),
                 qPrintable(counts[1]));
        QVERIFY2(counts[2] == "Rows that do not fit the header: 1, on lines 7.", qPrintable(counts[2]));
        QCOMPARE(pTable->model()->rowCount(), 3);
        QCOMPARE(Cell(pTable, 0, CPreviewModel::kName), QString("Anna Müller"));
        QCOMPARE(Cell(pTable, 0, CPreviewModel::kPhones), QString("Mobil: +49 171 1 (+491711)"));
        QCOMPARE(Cell(pTable, 0, CPreviewModel::kEmails), QString("E-Mail: anna@example.de"));
        QCOMPARE(Cell(pTable, 2, CPreviewModel::kLine), QString("5"));
        QCOMPARE(Cell(pTable, 2, CPreviewModel::kCompany), QString("Taxi Nord"));

        // The filter runs a moment after typing, letter case ignored.
        QTest::keyClicks(pFilter, "TAXI");
        QCOMPARE(pTable->model()->rowCount(), 3);
        QTRY_COMPARE(pTable->model()->rowCount(), 1);
        QCOMPARE(Cell(pTable, 0, CPreviewModel::kName), QString("Taxi Nord"));
        pFilter->setText("030");
        dlg.ApplyFilter();
        QCOMPARE(pTable->model()->rowCount(), 0);

        // Skipped rows show with the reason, and the filter finds them too.
        QVERIFY(pSkipped->isEnabled());
        pSkipped->setChecked(true);
        QCOMPARE(pTable->model()->rowCount(), 1);
        QCOMPARE(Cell(pTable, 0, CPreviewModel::kName), qvxtest::DialogEnv::Text("PreviewDlg_Skip_NoName"));
        QCOMPARE(Cell(pTable, 0, CPreviewModel::kOther), QString("Mobil: 030 1"));
        QVERIFY(pTable->model()->index(0, 1).data(Qt::FontRole).value<QFont>().italic());
        pFilter->clear();
        dlg.ApplyFilter();
        QCOMPARE(pTable->model()->rowCount(), 4);
    }

    void germanTexts() {
        qvxtest::DialogEnv env;
        SetLanguage("Deutsch");
        auto table = MakeTable({{"Anna", "", "0171 1", ""}});
        CPreviewDlg dlg(*table, 0, {});
        QVERIFY(dlg.findChild<QLabel*>(QString::number(CPreviewDlg::kIdCounts))
                    ->text()
                    .startsWith("Kontakte: 1; Einträge (Telefonnummern mit ihren Wählnummern): 2."));
        QCOMPARE(dlg.findChild<QTableView*>(QString::number(CPreviewDlg::kIdTable))
                     ->model()
                     ->headerData(CPreviewModel::kCompany, Qt::Horizontal)
                     .toString(),
                 QString("Firma"));
        QVERIFY(!dlg.findChild<QCheckBox*>(QString::number(CPreviewDlg::kIdShowSkipped))->isEnabled());
    }

    // Six-digit line numbers and the German skip reasons fit their columns.
    void lineNumbersAndSkipReasonsAreWhole() {
        qvxtest::DialogEnv env;
        QVERIFY(SetLanguage("Deutsch"));
        auto table = MakeTable({{"", "", "030 1", ""}, {"Bob", "", "", "bob@example.de"}}, 123456);
        CPreviewDlg dlg(*table, 0, {});
        dlg.show();
        auto* pTable = dlg.findChild<QTableView*>(QString::number(CPreviewDlg::kIdTable));
        auto* pSkipped = dlg.findChild<QCheckBox*>(QString::number(CPreviewDlg::kIdShowSkipped));
        QVERIFY(pTable && pSkipped);
        pSkipped->setChecked(true);
        QCOMPARE(pTable->model()->rowCount(), 2);
        QCOMPARE(Cell(pTable, 0, CPreviewModel::kName).left(12), QStringLiteral("Übersprungen"));
        const QFontMetrics metrics = pTable->fontMetrics();
        for (int nRow = 0; nRow < 2; ++nRow) {
            for (int nColumn : {CPreviewModel::kLine, CPreviewModel::kName})
                QVERIFY2(metrics.horizontalAdvance(Cell(pTable, nRow, nColumn)) + 8 <=
                             pTable->columnWidth(nColumn),
                         qPrintable(Cell(pTable, nRow, nColumn)));
        }
        QVERIFY(SetLanguage("English"));
    }
};

QTEST_MAIN(TestPreviewDlg)
#include "tst_previewdlg.moc"
