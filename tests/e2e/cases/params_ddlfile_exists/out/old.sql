old content
