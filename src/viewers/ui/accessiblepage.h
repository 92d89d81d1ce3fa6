#pragma once

// Assistive technology sees a viewer's page as a document: its headings and paragraphs with
// their texts, and each table with its rows, columns and cells (the first row as the column
// titles), as a browser shows a page. Installed once, for every HtmlView.
void installPageAccessibility();
