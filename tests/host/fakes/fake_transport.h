#pragma once
#include <deque>
#include <mutex>
#include <vector>

#include "app/orvane_exception.h"
#include "ports/json_transport.h"

namespace zelvane::testing {

// Answers posts from a script and records what was posted.
class RecordingTransport : public JsonTransport {
 public:
  struct Answer {
    std::uint32_t status = 200;
    std::string body;
    bool fails = false;  // the POST throws, as without network
  };
  struct Post {
    std::wstring url;
    std::string body;
    HeaderList headers;
  };

  void Script(std::vector<Answer> answers) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_.assign(answers.begin(), answers.end());
  }
  std::vector<Post> posts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posts_;
  }

  bool PostJson(const std::wstring& url, const std::string& body, HeaderList headers, std::string& response,
                std::uint32_t& status) override {
    std::lock_guard<std::mutex> lock(mutex_);
    posts_.push_back({url, body, std::move(headers)});
    if (answers_.empty()) throw OrvaneException("");
    const Answer answer = answers_.front();
    answers_.pop_front();
    if (answer.fails) throw OrvaneException("");
    response += answer.body;
    status = answer.status;
    return true;
  }

 private:
  std::mutex mutex_;
  std::deque<Answer> answers_;
  std::vector<Post> posts_;
};

}  // namespace zelvane::testing
