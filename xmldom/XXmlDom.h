#pragma once

// The XML object model: a reference-counted tree of element, attribute and text nodes that
// writes itself as XML text.

#include "xmldom/EscapeXmlText.h"
#include "xmldom/NodeType.h"
#include "xmldom/RefObject.h"
#include "xmldom/RefSlot.h"
#include "xmldom/XmlDAttribute.h"
#include "xmldom/XmlDCharacterData.h"
#include "xmldom/XmlDElement.h"
#include "xmldom/XmlDNode.h"
#include "xmldom/XmlDNodeList.h"
#include "xmldom/XmlDText.h"
#include "xmldom/XmlSink.h"
