// The one base of the application's own errors (the PDF engine's, loading a
// document, saving one), so that a caller catches one type and can both log
// the failure and tell the user: text() is English for the log and never
// holds markup text; userText() is the one line the user is shown.
#pragma once

#include <QString>
#include <exception>
#include <string>

#include "app/platform/InterfaceLanguage.h"

namespace quillet {

class AppError : public std::exception {
  public:
    const std::string& text() const { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }
    virtual QString userText(Language language) const = 0;

  protected:
    explicit AppError(std::string text = {}) : text_(std::move(text)) {}
    void setText(std::string text) { text_ = std::move(text); }

  private:
    std::string text_;
};

}  // namespace quillet
