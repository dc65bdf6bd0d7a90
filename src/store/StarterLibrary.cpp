#include "store/StarterLibrary.h"

#include "store/Database.h"
#include "store/LanguageTable.h"

#include <QSqlQuery>
#include <QVariant>

namespace store {

namespace {

struct StarterSnippet {
    const char *head;
    int category; // index into kCategories
    const char *code;
    const char *learn;
    bool user;
};

const char *const kCategories[] = {
    "النصوص",
    "الملفات",
    "قواعد البيانات",
    "النماذج والأدوات",
};

const StarterSnippet kSnippets[] = {
    {"عكس نص", 0,
     "Public Function ReverseText(ByVal s As String) As String\r\n"
     "    Dim i As Long, r As String\r\n"
     "    For i = Len(s) To 1 Step -1\r\n"
     "        r = r & Mid$(s, i, 1)\r\n"
     "    Next i\r\n"
     "    ReverseText = r\r\n"
     "End Function",
     "دالة تعيد النص مقلوباً حرفاً حرفاً.", false},
    {"حذف المسافات الزائدة", 0,
     "Public Function CollapseSpaces(ByVal s As String) As String\r\n"
     "    Do While InStr(s, \"  \") > 0\r\n"
     "        s = Replace(s, \"  \", \" \")\r\n"
     "    Loop\r\n"
     "    CollapseSpaces = Trim$(s)\r\n"
     "End Function",
     "تستبدل كل مسافتين متتاليتين بمسافة واحدة ثم تحذف المسافات من الطرفين.", false},
    {"قراءة ملف نصي كاملاً", 1,
     "Public Function ReadAll(ByVal Path As String) As String\r\n"
     "    Dim f As Integer\r\n"
     "    f = FreeFile\r\n"
     "    Open Path For Input As #f\r\n"
     "    ReadAll = Input(LOF(f), #f)\r\n"
     "    Close #f\r\n"
     "End Function",
     "تقرأ محتوى الملف كله في متغير نصي واحد.", false},
    {"التحقق من وجود ملف", 1,
     "Public Function FileExists(ByVal Path As String) As Boolean\r\n"
     "    On Error GoTo Failed\r\n"
     "    FileExists = (Dir(Path) <> \"\")\r\n"
     "    Exit Function\r\n"
     "Failed:\r\n"
     "    FileExists = False\r\n"
     "End Function",
     "تعيد True إذا كان الملف موجوداً.", true},
    {"فتح اتصال ADO", 2,
     "Dim cn As New ADODB.Connection\r\n"
     "cn.Open \"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\" & App.Path & \"\\data.mdb\"\r\n"
     "' استخدم الاتصال هنا\r\n"
     "cn.Close\r\n"
     "Set cn = Nothing",
     "يفتح اتصالاً بقاعدة بيانات ثم يغلقه.", false},
    {"عد سجلات جدول", 2,
     "Public Function CountRows(cn As ADODB.Connection, ByVal Table As String) As Long\r\n"
     "    Dim rs As New ADODB.Recordset\r\n"
     "    rs.Open \"[\" & Table & \"]\", cn, adOpenStatic, adLockReadOnly\r\n"
     "    CountRows = rs.RecordCount\r\n"
     "    rs.Close\r\n"
     "End Function",
     "تعيد عدد السجلات في الجدول المعطى.", true},
    {"توسيط نموذج على الشاشة", 3,
     "Public Sub CenterForm(frm As Form)\r\n"
     "    With frm\r\n"
     "        .Left = (Screen.Width - .Width) / 2\r\n"
     "        .Top = (Screen.Height - .Height) / 2\r\n"
     "    End With\r\n"
     "End Sub",
     "تضع النموذج في وسط الشاشة.", false},
    {"رسالة تأكيد قبل الإغلاق", 3,
     "Private Sub Form_QueryUnload(Cancel As Integer, UnloadMode As Integer)\r\n"
     "    If MsgBox(\"هل تريد الخروج؟\", vbYesNo + vbQuestion) = vbNo Then Cancel = True\r\n"
     "End Sub",
     "تسأل المستخدم قبل إغلاق النموذج.", true},
};

} // namespace

void createLibraryTables(const Database &db)
{
    db.exec(QStringLiteral("CREATE TABLE Groub (Groub INTEGER PRIMARY KEY AUTOINCREMENT, Caption TEXT)"));
    db.exec(QStringLiteral("CREATE TABLE Code (id INTEGER PRIMARY KEY AUTOINCREMENT, Head TEXT, "
                           "Groub INTEGER, code TEXT, Learn TEXT, User INTEGER)"));
    addTreeIndex(db);
    ensureLanguageTable(db);
}

void addTreeIndex(const Database &db)
{
    QSqlQuery q(db.db());
    q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS CodeTreeIndex ON Code (Groub, Head, User)"));
}

void writeStarterLibrary(const Database &db)
{
    QSqlQuery category(db.db());
    category.prepare(QStringLiteral("INSERT INTO Groub (Caption) VALUES (?) RETURNING Groub"));
    QList<qlonglong> ids;
    for (const char *caption : kCategories) {
        category.bindValue(0, QString::fromUtf8(caption));
        if (!category.exec() || !category.next())
            throwQueryError(category);
        if (category.value(0).isNull())
            throw StoreError(QStringLiteral("لم يُحفظ الصف المضاف في المكتبة"));
        ids.append(category.value(0).toLongLong());
        category.finish();
    }
    QSqlQuery snippet(db.db());
    snippet.prepare(QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") VALUES (?, ?, ?, ?, ?)"));
    for (const StarterSnippet &s : kSnippets) {
        snippet.bindValue(0, QString::fromUtf8(s.head));
        snippet.bindValue(1, ids.at(s.category));
        snippet.bindValue(2, QString::fromUtf8(s.code));
        snippet.bindValue(3, QString::fromUtf8(s.learn));
        snippet.bindValue(4, s.user);
        if (!snippet.exec())
            throwQueryError(snippet);
    }
}

} // namespace store
