#pragma once
// The appraisal application and the appraisal certificate of the current
// record, one Word document each, the same for every category. Many of
// their bookmarks take a stored code as it is, beside its name.

enum class AppraisalDocument {
    application, // 科学技术成果鉴定申请表
    certificate, // 科学技术成果鉴定证书
};

void AppraisalToWord(AppraisalDocument document);
