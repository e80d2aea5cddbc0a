#include "lease/XmlWriter.h"

#include <string_view>

#include "lease/ResultFile.h"
#include "xmldom/XXmlDom.h"

namespace lease {
namespace {

using xmldom::MakeRef;
using xmldom::TRef;
using xmldom::TXmlDElement;
using xmldom::TXmlDName;

// Looked up once for the million elements that bear them.
struct DocumentNames {
  TXmlDName address{"address"};
  TXmlDName hostname{"hostname"};
  TXmlDName ip{"ip"};
  TXmlDName mac{"mac"};
};

// Every new node is held until its parent's list holds it, so that a failure on the way (only
// exhausted memory can fail here) leaves nothing alive.
void AppendAddress(TXmlDElement& root, const _DHCPUnit& unit, const DocumentNames& names) {
  TRef<TXmlDElement> address = MakeRef<TXmlDElement>(names.address);
  address->AppendTextElement(names.hostname, unit.HostName);
  address->AppendTextElement(names.ip, unit.IpAddress);
  address->AppendTextElement(names.mac, unit.MacAddress);
  root.AppendChild(address.Get());
}

TRef<TXmlDElement> BuildDocument(const LeaseList& leases) {
  const DocumentNames names;
  TRef<TXmlDElement> root = MakeRef<TXmlDElement>("addrlist");
  root->SetAttribute("version", "4");
  for (const _DHCPUnit& unit : leases) {
    AppendAddress(*root, unit, names);
  }
  return root;
}

void Notify(XmlSaveObserver* observer, XmlSavePhase phase) {
  if (observer != nullptr) {
    observer->PhaseEnded(phase);
  }
}

// The tree's text goes to the file piece by piece, as it is made: a document of a million leases
// is never held as one string beside its tree.
class ResultFileSink final : public xmldom::TXmlSink {
 public:
  explicit ResultFileSink(ResultFile& file) : file_(file) {}
  void Write(std::string_view piece) override { file_.Write(piece); }

 private:
  ResultFile& file_;
};

bool WriteDocument(const std::string& fileName, const TXmlDElement& root,
                   XmlSaveObserver* observer) {
  std::optional<ResultFile> file = ResultFile::Open(fileName);
  if (!file) {
    return false;
  }
  file->Write("<?xml version=\"1.0\"?>\r\n");
  ResultFileSink sink(*file);
  root.WriteXml(sink);
  Notify(observer, XmlSavePhase::Serialised);
  const bool saved = file->Finish();
  Notify(observer, XmlSavePhase::Written);
  return saved;
}

}  // namespace

SaveOutcome SaveAsXml(const std::string& fileName, const LeaseList& leases,
                      XmlSaveObserver* observer) {
  bool saved = false;
  {
    // The whole tree comes first, so that a failure while building leaves an existing file as it
    // was. The one reference on the root releases the tree on every way out.
    const TRef<TXmlDElement> root = BuildDocument(leases);
    Notify(observer, XmlSavePhase::TreeBuilt);
    saved = WriteDocument(fileName, *root, observer);
  }
  Notify(observer, XmlSavePhase::Released);
  if (!saved) {
    return {};
  }
  return {true, static_cast<int>(leases.size())};
}

}  // namespace lease
