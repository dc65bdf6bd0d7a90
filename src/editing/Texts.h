#pragma once
// Captions and messages of the snippet editing windows and commands, exactly as the users know them.
// The ones the command line shows too are in core/InputChecks.h.
#include "editing/core/InputChecks.h"

#include <QString>

namespace editing::text {

inline const QString AddCaption = QStringLiteral("إضافة كود جديد");
inline const QString AddCategoryButtonEdit = QStringLiteral("إضافة");
inline const QString TitleGroup = QStringLiteral("عنوان الكود");
inline const QString ExistingCategories = QStringLiteral("الفئات الموجودة:");
inline const QString NewCategory = QStringLiteral("إضافة فئة جديدة:");
inline const QString AddCategoryButtonAdd = QStringLiteral("إضافة ");
inline const QString DeleteButton = QStringLiteral("حذف");
inline const QString RenameButton = QStringLiteral("تعديل");
inline const QString BrowseButton = QStringLiteral("استعراض...");
inline const QString FromFileGroup = QStringLiteral("إضافة من ملف");
inline const QString AddCodeButton = QStringLiteral("إضافة الكود");
inline const QString CloseButton = QStringLiteral("إغلاق");
inline const QString CodeGroup = QStringLiteral("الكود");
inline const QString LanguageLabel = QStringLiteral("اللغة:");
inline const QString CommentGroup = QStringLiteral("التعليق");
inline const QString CopyItem = QStringLiteral("نسخ");
inline const QString CutItem = QStringLiteral("قص");
inline const QString PasteItem = QStringLiteral("لصق");
inline const QString CategoryGroup = QStringLiteral("التصنيف");
inline const QString ConfirmDeleteCategory = QStringLiteral(
    "سيتم حذف الفئة وجميع الأكواد الفرعية المرتبطة بها. هل تريد حذف الفئة الحالية؟");
inline const QString ConfirmRenameCategory = QStringLiteral("سيتم تعديل اسم الفئة. هل أنت متأكد من ذلك?");
inline const QString OpenTitle = QStringLiteral("فتح");
inline const QString OpenFilter = QStringLiteral(
    "ملفات نصوص|*.txt|ملفات نماذج فيجول بيسك|*.frm|ملفات وحدات برمجية|*.bas|ملفات كائنات برمجية|*.cls|كافة الملفات|*.*");
inline const QString EditCaption = QStringLiteral("تعديل الكود الحالي");
inline const QString EditCodeButton = QStringLiteral("تعديل الكود");
inline const QString SelectSnippetToEdit = QStringLiteral("يجب أن تحدد الكود الذي تريد تعديله أولاً!  ");
inline const QString NoTitleToSave = QStringLiteral("لم يتم إدخال عنوان للكود! يجب عليك إدخال عنوان للكود قبل تعديله");
inline const QString ConfirmDeleteSnippet = QStringLiteral("هل تريد حذف الكود المحدد؟");

// For failures the texts above have no words for: no category yet, a row deleted meanwhile, a store
// that cannot be read or written.
inline const QString NoCategoriesYet = QStringLiteral("لا توجد فئات: أضف فئة جديدة أولاً");
inline const QString SnippetMissing = QStringLiteral("الكود المحدد لم يعد موجوداً في قاعدة البيانات.");
inline const QString EditedSnippetGone = QStringLiteral(
    "الكود المحدد لم يعد موجوداً في قاعدة البيانات، ولم يُحفظ أي تعديل.");
inline const QString SelectedCategoryGone = QStringLiteral("الفئة المحددة لم تعد موجودة في قاعدة البيانات.");
inline const QString QuestionTitle = QStringLiteral("استفسار");
inline const QString ChangedElsewhere = QStringLiteral(
    "غيّر مستخدم آخر هذا الكود بعد أن فتحت نافذة التعديل.\n"
    "احفظ نسختي: يُكتب تعديلك فوق تعديله.\n"
    "خذ نسخته: تعرض النافذة نسخته ولا يُحفظ شيء، ويبقى نصك قابلاً للاسترجاع بالتراجع (Ctrl+Z) في كل مربع حتى تغلق النافذة.");
inline const QString KeepMine = QStringLiteral("احفظ نسختي");
inline const QString TakeTheirs = QStringLiteral("خذ نسخته");
inline const QString CancelSave = QStringLiteral("إلغاء الأمر");
inline const QString AddSnippetFailed = QStringLiteral("تعذرت إضافة الكود إلى المكتبة:\n");
inline const QString SaveSnippetFailed = QStringLiteral("تعذر حفظ تعديل الكود:\n");
inline const QString ReadSnippetFailed = QStringLiteral("تعذرت قراءة الكود من المكتبة:\n");
inline const QString DeleteSnippetFailed = QStringLiteral("تعذر حذف الكود:\n");
inline const QString ReadCategoriesFailed = QStringLiteral("تعذرت قراءة الفئات من المكتبة:\n");
inline const QString AddCategoryFailed = QStringLiteral("تعذرت إضافة الفئة:\n");
inline const QString DeleteCategoryFailed = QStringLiteral("تعذر حذف الفئة:\n");
inline const QString RenameCategoryFailed = QStringLiteral("تعذر تعديل اسم الفئة:\n");
inline const QString LoadFileFailed = QStringLiteral("تعذر تحميل الملف:\n");

// The trash window and the edit dialog's history.
inline const QString TrashCaption = QStringLiteral("سلة المحذوفات");
inline const QString TrashNote = QStringLiteral(
    "الأكواد المحذوفة خلال آخر 30 يوماً، الأحدث أولاً. تعود الأكواد المستعادة إلى فئاتها، وتُنشأ الفئة من جديد إن كانت قد حُذفت.");
inline const QString TrashTitleColumn = QStringLiteral("العنوان");
inline const QString TrashCategoryColumn = QStringLiteral("الفئة");
inline const QString TrashTimeColumn = QStringLiteral("وقت الحذف");
inline const QString RestoreButton = QStringLiteral("استعادة");
inline const QString DeleteForeverButton = QStringLiteral("حذف نهائي");
inline const QString EmptyTrashButton = QStringLiteral("إفراغ السلة");
inline const QString ConfirmDeleteForever = QStringLiteral(
    "سيتم حذف الأكواد المحددة نهائياً ولن يمكن استعادتها بعد ذلك. هل تريد المتابعة؟");
inline const QString ConfirmEmptyTrash = QStringLiteral(
    "سيتم حذف كل ما في سلة المحذوفات نهائياً ولن يمكن استعادته بعد ذلك. هل تريد إفراغ السلة؟");
inline const QString ReadTrashFailed = QStringLiteral("تعذرت قراءة سلة المحذوفات:\n");
inline const QString RestoreFailed = QStringLiteral("تعذرت استعادة الأكواد المحددة، ولم يُستعد أي منها:\n");
inline const QString DeleteForeverFailed = QStringLiteral("تعذر الحذف النهائي من سلة المحذوفات:\n");
inline const QString HistoryGroup = QStringLiteral("السجل");
inline const QString RestoreVersionButton = QStringLiteral("استعادة هذه النسخة");
inline const QString ConfirmRestoreVersion = QStringLiteral(
    "ستحل النسخة المحددة محل الكود الحالي وتُغلق النافذة، ويُحفظ الكود الحالي في السجل. هل تريد المتابعة؟");
inline const QString ReadHistoryFailed = QStringLiteral("تعذرت قراءة سجل الكود:\n");
inline const QString RestoreVersionFailed = QStringLiteral("تعذرت استعادة النسخة المحددة:\n");
inline const QString VersionChangedElsewhere = QStringLiteral(
    "غيّر مستخدم آخر هذا الكود بعد أن فتحت نافذة التعديل، فلم تُستعد النسخة. أغلق النافذة وافتحها من جديد ثم أعد المحاولة.");

} // namespace editing::text
